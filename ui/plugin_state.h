#pragma once
// What the plug-in keeps while it is loaded: each subsystem's state in one
// object of its own. The run and its windows get it as a parameter and own
// none of it, so a second run sees what the first left.
#include "base/config.h"
#include "directory/genre_list.h"
#include "directory/station_list.h"
#include "directory/tune_in.h"
#include "lcd/lcd_display.h"
#include "ripper/ripper_control.h"
#include "ui/lcd_status.h"

namespace oruvel {

struct PluginState {
  // Built in this order when the library is loaded: the LCD texts first,
  // then the display, whose constructor opens the panel.
  LcdStatus lcd;
  CLCDDisplay display;
  Config config;
  GenreList genres;
  StationList stations;
  TuneIn tuneIn;
  ripper::Control ripper;
};

}  // namespace oruvel
