// The load-time LCD objects of the plug-in. They are defined here, in one
// file, so that they are built in this order when the library is loaded:
// the two texts first, then the display, whose constructor opens the panel.
#include "ui/status_text.h"

#include "lcd/lcd_display.h"
#include "lcd/status_layout.h"

eString lcdstring;
eString lcdtitle;
CLCDDisplay display;
char lm_info[256];

void showDisplay() { oruvel::layoutStatusText(display, lcdstring); }
