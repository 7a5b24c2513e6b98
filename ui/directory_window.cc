// The main window's members for genres and stations: the genre selector,
// the directory page, the station lists and their highlight, tune-in and
// play, and saving a favourite.
#include <cstdio>

#include "base/config.h"
#include "base/fixed_paths.h"
#include "base/fixed_text.h"
#include "base/fs_root.h"
#include "base/regular_file.h"
#include "directory/directory_download.h"
#include "directory/favourites.h"
#include "directory/genre_list.h"
#include "directory/station_list.h"
#include "directory/tune_in.h"
#include "ui/list_keys.h"
#include "ui/main_window.h"
#include "ui/message_box.h"
#include "ui/play_service.h"
#include "ui/station_list_box.h"

// The genre selector filled from the genre file.
void eOruvel::ReadGenreList() {
  bool read = oruvel::readGenreList(MYGENREFILE, [this](const char* name, int key) {
    auto* entry = new eListBoxEntryText(genre_combo, name, oruvel::keyPointer(key), 0, eString(), 0);
    genre_combo->setCurrent(entry, false);
  });
  if (!read) oruvel::showInformation(MYGENREFILE);
}

// The directory page for the current genre, fetched while the window waits.
void eOruvel::DownloadShoutcastFile() {
  list_status->setText("downloading... please wait.");
  oruvel::downloadDirectoryPage(oruvel::fixedView(which_genre));
  list_status->setText("finished downloading.");
}

// The three station readers as the window runs them, and the refill of
// the station list box.
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

// The handlers of the genre selector, the two input fields and the
// highlight in the station list.
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

// Choosing a station, resolving its stream, and playing it.
void eOruvel::selectedItem(eListBoxEntryText* entry) {
  if (!entry) return;
  const int key = oruvel::entryKey(entry);
  item_eintrag = key + 1;
  if (item_eintrag == 1) {
    station_info->setText(" ");
    list_status->setText(" ");
    setFocus(genre_combo);
    return;
  }
  NET_Element_ermitteln(key, AnzahlNETElemente);
  BuildPlayRipStrings();
  if (playlistread_error == 0) {
    station_info->setText(oruvel::stationRowText(item_eintrag, net_anker->name));
    setFocus(play_button);
  } else {
    station_info->setText("playlist could not be read. please select another stream.");
    setFocus(station_list);
  }
}

void eOruvel::BuildPlayRipStrings() {
  ripp_stream[0] = '\0';
  playlist_string[0] = '\0';
  if (net_anker) {
    station_info->setText("downloading playlist...");
    oruvel::downloadPlaylist(net_anker->id);
    station_info->setText("downloading playlist finshed");
  }
  if (!net_anker || !oruvel::resolveStreamStrings()) {
    oruvel::showInformation(
        oruvel::translated("Playlist could not be created.\nPlease select another stream."));
    playlistread_error = 1;
    return;
  }
  playlistread_error = 0;
  play_status->setText(eString().sprintf("%s", playlist_string));
  rip_status->setText(eString().sprintf("%s", ripp_stream));
}

void eOruvel::selectedGREEN() {
  if (play_stream[0] == '\0') {
    // Nothing resolved yet: an empty reference would play nothing.
    play_status->setText("no stream chosen. please select a station first.");
    return;
  }
  showPic();
  play_status->setText(eString().sprintf("playing %s", playlist_string));
  my_playService(eServiceReference(eString(play_stream)));
}

void eOruvel::showPic() {
  Decoder::parms.apid = 0x1FFE;  // the block's second field
  Decoder::Set();
  // Only a regular file: the decoder would hang on a FIFO or read a device for ever.
  if (std::FILE* picture = oruvel::openRegularFile(LUMOPIC, "r")) {
    std::fclose(picture);
    Decoder::displayIFrameFromFile(LUMOPIC);
  }
}

// Saving the current station to the favourites file, after asking.
int eOruvel::WriteMyStations() {
  if (!net_anker) {
    // No list read yet (or an empty one): there is nothing to save.
    oruvel::showInformation("no radio station selected.\nPlease select a station first.");
    return 1;
  }
  const std::string_view id = net_anker->id;
  if (!oruvel::favouriteReadsBack(net_anker->name, id)) {
    // Saved as it is, it would come back as another station's id.
    oruvel::showInformation(eString().sprintf(
        "This radio station cannot be saved:\nits id \"%s\" would not be read back the same\n"
        "and would play another station.",
        net_anker->id));
    return 1;
  }
  std::FILE* file = oruvel::openRegularFile(MYSTATIONSFILE, "a+");
  if (!file) return 1;

  const int answer =
      oruvel::askUser(eString(net_anker->name), "Oruvel - save radio station", oruvel::kBoxInfoYesNo);

  bool saved = true;
  if (answer == eMessageBox::btYes)
    saved = oruvel::appendFavourite(file, net_anker->name, id);
  if (std::fclose(file) != 0) saved = false;
  if (!saved) {
    oruvel::showInformation(eString().sprintf("radio station could not be saved to\n%s",
                                              MYSTATIONSFILE));
    return 1;
  }
  return 0;
}
