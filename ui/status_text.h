#pragma once
// The status text for the front-panel LCD.
#include "host/estring.h"

class CLCDDisplay;

extern eString lcdstring;  // "Oruvel V0.2 PLAY:" + title + "  RIP: " + lm_info
extern eString lcdtitle;   // the playing stream's title
extern char lm_info[256];  // the ripper's progress line as last shown
extern CLCDDisplay display;  // the front-panel LCD, opened when the library loads

// Lays lcdstring out in seven rows of fourteen cells and updates the LCD.
void showDisplay();
