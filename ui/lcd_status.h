#pragma once
// The front-panel LCD as the windows use it: the status text, built when the
// library loads, and what the two status ticks (main window and player
// window) share: the service's info texts, the ripper's progress line and
// the LCD refresh.
#include "host/estring.h"
class CLCDDisplay;

extern eString lcdstring;  // "Oruvel V0.2 PLAY:" + title + "  RIP: " + lm_info
extern eString lcdtitle;   // the playing stream's title
extern char lm_info[256];  // the ripper's progress line as last shown
extern CLCDDisplay display;  // the front-panel LCD, opened when the library loads

// Lays lcdstring out in seven rows of fourteen cells and updates the LCD.
void showDisplay();

namespace oruvel {

// The running service's info text `id` (1 the title, 2 a second text);
// empty when nothing plays.
eString serviceInfo(int id);

// Reads the first line of /tmp/lumorip (at most 255 characters, newline
// kept) into lm_info. An empty file leaves lm_info as it was. False when
// the file does not exist: the ripper is not recording.
bool readRipperLine();

// Takes the title again, builds lcdstring from it and lm_info, and draws
// it with the host's LCD released for the drawing only.
void refreshLcd();

}  // namespace oruvel
