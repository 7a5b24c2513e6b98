// The three station readers as the window runs them, and the refill of
// the station list box.
#include "directory/genre_list.h"
#include "ui/info_box.h"
#include "directory/station_list.h"
#include "ui/station_list_box.h"
#include "base/config.h"
#include "base/fixed_paths.h"
#include "base/fs_root.h"
#include "ui/main_window.h"

void eOruvel::ReadLumoNET() {
  if (!oruvel::readDirectoryPage(oruvel::rootedPath(oruvel::paths::kLumoNet)))
    oruvel::showInformation(oruvel::translated("lumonet reading error."));
}

void eOruvel::ReadLumoStations() {
  if (!oruvel::readLocalStations(STATIONSFILE)) oruvel::showInformation(STATIONSFILE);
}

void eOruvel::ReadLumoMyStations() {
  if (!oruvel::readLocalStations(MYSTATIONSFILE)) oruvel::showInformation(MYSTATIONSFILE);
}

void eOruvel::fillStationList() {
  list_status->setText("building list. please wait...");
  oruvel::fillStationListBox(station_list);
  setFocus(station_list);
  list_status->setText(eString().sprintf("building list finsihed [%d].   genre: %s   bitrate: %s",
                                         AnzahlNETElemente, which_genre, which_bitrate));
}
