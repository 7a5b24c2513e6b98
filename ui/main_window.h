#pragma once
// eOruvel, the plug-in's main window. The host builds, shows and runs it;
// everything else happens in its handlers, which the widgets' signals call.
// Each handler lives in the ui/ file of its feature, on top of the
// widget-free core that does the work:
//   ui/main_window.cc       the widgets and their wiring; the yellow key; the status tick
//   ui/directory_window.cc  genres, stations, the bitrate filter, tune-in and play,
//                           saving a favourite (core: directory/station_browser.h)
//   ui/ripper_window.cc     the red key (core: ripper/ripper_control.h)
//   ui/player_window.cc     the "M" button and the player window
// The status tick itself is ui/status_ticker.cc; the LCD it draws on, lcd/.
#include <memory>

#include "directory/station_browser.h"
#include "host/host.h"
#include "ui/plugin_state.h"
#include "ui/status_ticker.h"

class eOruvel : public eWindow {
 public:
  // The window works on `state`, which outlives it.
  explicit eOruvel(oruvel::PluginState& state);
  ~eOruvel() override;

 private:
  // Genre list and station lists (ui/directory_window.cc).
  void ReadGenreList();
  void ReadLumoNET();
  void ReadLumoStations();
  void ReadLumoMyStations();
  void DownloadShoutcastFile();
  // Refills station_list from the Station list (genre and typed genre).
  void fillStationList();
  // Tune-in and playback (ui/directory_window.cc).
  void BuildPlayRipStrings();
  void selectedItem(eListBoxEntryText* entry);
  void selectedGREEN();
  void showPic();
  // Favourites (ui/directory_window.cc); the yellow key's slot calls it.
  int WriteMyStations();
  void selectedYELLOW();
  // Genre, bitrate and selection handlers (ui/directory_window.cc).
  void selectedComboBox(eListBoxEntryText* item);
  void selectedInputBox();
  void selectedBitrate();
  void selectionChanged(eListBoxEntryText* item);
  // Player window (ui/player_window.cc).
  void miniSelButton();
  // The red key and the ripper's state (ui/ripper_window.cc).
  int findpid();
  void LumoRipperStatus();
  void LumoRipperStart();
  void LumoRipperStopp();
  void selectedRED();
  // Runs the stop sequence for the ripper whose PID text was read.
  void stopRipper(const char* pidText);
  // The status tick (ui/main_window.cc, with ui/status_ticker.cc).
  void getStreamInfo();

  oruvel::PluginState& state_;
  oruvel::StationBrowser browser_;  // genres, stations, tune-in and favourites over state_

  eLabel* genre_label;
  eComboBox* genre_combo;
  eTextInputField* input_bitrate;
  eTextInputField* input_genre;
  eLabel* list_status;
  eListBox<eListBoxEntryText>* station_list;
  eLabel* station_info;
  eButton* play_button;
  eButton* mini_button;
  eButton* rip_button;
  eLabel* play_status;
  eLabel* rip_status;
  eButton* save_button;
  eStatusBar* status_bar;
  // The status tick and its timer; the window's only object of its own.
  std::unique_ptr<oruvel::StatusTicker> status_timer;
};
