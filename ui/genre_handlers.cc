// The handlers of the genre selector, the two input fields and the
// highlight in the station list.
#include "directory/genre_list.h"
#include "ui/info_box.h"
#include "directory/station_list.h"
#include "ui/station_list_box.h"
#include "directory/tune_in.h"
#include "base/fixed_text.h"
#include "ui/main_window.h"

namespace {
// An input field signals when its editing starts and again when it ends;
// the toggle tells the two apart. True for the end.
bool editingEnded(int& toggle) {
  toggle = toggle == 0 ? 1 : 0;
  return toggle == 0;
}
}  // namespace

void eOruvel::selectedComboBox(eListBoxEntryText* item) {
  if (!item) {
    reject();
    return;
  }
  const int key = oruvel::entryKey(item);
  item_eintrag = key;
  if (key == 1) {
    oruvel::copyBounded(which_genre, oruvel::kFavouritesLabel);
    ReadLumoMyStations();
  } else if (key == 2) {
    oruvel::copyBounded(which_genre, oruvel::kStationsLabel);
    ReadLumoStations();
  } else {
    GENRE_Element_ermitteln(key, AnzahlGenreElemente);
    oruvel::copyBounded(which_genre, genre_anker ? genre_anker->name : "");
    DownloadShoutcastFile();
    ReadLumoNET();
  }
  if (read_error) return;
  fillStationList();
}

void eOruvel::selectedInputBox() {
  oruvel::copyBounded(which_genre, input_genre->getText());
  if (!editingEnded(inp_genre_flag)) return;
  DownloadShoutcastFile();
  ReadLumoNET();
  if (read_error == 0) fillStationList();
}

void eOruvel::selectedBitrate() {
  oruvel::copyBounded(which_bitrate, input_bitrate->getText());
  if (!editingEnded(inp_bitrate_flag)) return;
  oruvel::showInformation(eString().sprintf(
      "Set bitrate filter to: %s\n Use 0 to switch this function off.", which_bitrate));
}

void eOruvel::selectionChanged(eListBoxEntryText* item) {
  if (!item) return;
  const int key = oruvel::entryKey(item);
  item_eintrag = key + 1;
  if (key == 0) {
    station_info->setText(" ");
    return;
  }
  NET_Element_ermitteln(key, AnzahlNETElemente);
  if (!net_anker) return;
  station_info->setText(oruvel::stationRowText(item_eintrag, net_anker->name));
}
