#pragma once
// The status on the front-panel LCD: the texts it is built from and the
// drawing of them, shared by the main window's and the player window's
// status tick.
#include "host/estring.h"

class CLCDDisplay;

namespace oruvel {

// The LCD status texts. One object lives as long as the plug-in is loaded,
// built before the display.
struct LcdStatus {
  eString lcdstring;       // "Oruvel V0.2 PLAY:" + title + "  RIP: " + lm_info
  eString lcdtitle;        // the playing stream's title
  char lm_info[256] = {};  // the ripper's progress line as last shown
};

// The running service's info text `id` (1 the title, 2 a second text);
// empty when nothing plays.
eString serviceInfo(int id);

// Lays lcdstring out in seven rows of fourteen cells and updates the LCD.
void showDisplay(const LcdStatus& status, CLCDDisplay& display);

// Takes the title again, builds lcdstring from it and lm_info, and draws
// it with the host's LCD released for the drawing only.
void refreshLcd(LcdStatus& status, CLCDDisplay& display);

}  // namespace oruvel
