#pragma once
// eOruvel, the plug-in's main window. The handlers live with the subsystem
// they belong to (directory/, ripper/, lcd/, ui/); this is the class.
#include "host/host.h"

extern int inp_bitrate_flag;
extern int inp_genre_flag;

class eOruvel : public eWindow {
 public:
  eOruvel();
  ~eOruvel() override;

  // Genre list and station lists (directory/).
  void ReadGenreList();
  void ReadLumoNET();
  void ReadLumoStations();
  void ReadLumoMyStations();
  void DownloadShoutcastFile();
  // Tune-in and playback (directory/).
  void BuildPlayRipStrings();
  void selectedItem(eListBoxEntryText* entry);
  void selectedGREEN();
  void showPic();
  // Favourites (directory/); the yellow key's slot only calls it (ui/).
  int WriteMyStations();
  void selectedYELLOW();
  // Genre, bitrate and selection handlers (directory/).
  void selectedComboBox(eListBoxEntryText* item);
  void selectedInputBox();
  void selectedBitrate();
  void selectionChanged(eListBoxEntryText* item);
  // Player window (ui/).
  void miniSelButton();
  // Ripper control (ripper/).
  int findpid();
  void LumoRipperStatus();
  void LumoRipperStart();
  void LumoRipperStopp();
  void selectedRED();
  // Status refresh (lcd/status_tick.cc).
  void getStreamInfo();

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
  eTimer* status_timer;

 private:
  // Refills station_list from the Station list (genre and typed genre).
  void fillStationList();
  // Runs the stop sequence for the ripper whose PID text was read.
  void stopRipper(const char* pidText);
};
