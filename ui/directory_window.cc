// The main window's members for genres and stations: the genre selector,
// the directory page, the station lists and their highlight, tune-in and
// play, and saving a favourite.
#include <cstdio>

#include "base/regular_file.h"
#include "directory/station_browser.h"
#include "ui/list_keys.h"
#include "ui/main_window.h"
#include "ui/message_box.h"
#include "ui/play_service.h"
#include "ui/station_list_box.h"

// The genre selector filled from the genre file.
void eOruvel::ReadGenreList() {
  bool read = browser_.readGenres([this](const char* name, int key) {
    auto* entry = new eListBoxEntryText(genre_combo, name, oruvel::keyPointer(key), 0, eString(), 0);
    genre_combo->setCurrent(entry, false);
  });
  if (!read) oruvel::showInformation(state_.config.MYGENREFILE);
}

// The directory page for the current genre, fetched while the window waits.
void eOruvel::DownloadShoutcastFile() {
  list_status->setText("downloading... please wait.");
  browser_.downloadPage();
  list_status->setText("finished downloading.");
}

// The three station readers as the window runs them, and the refill of
// the station list box.
void eOruvel::ReadLumoNET() {
  if (!browser_.readPage()) oruvel::showInformation(oruvel::translated("lumonet reading error."));
}

void eOruvel::ReadLumoStations() {
  if (!browser_.readStationFile()) oruvel::showInformation(state_.config.STATIONSFILE);
}

void eOruvel::ReadLumoMyStations() {
  if (!browser_.readFavourites()) oruvel::showInformation(state_.config.MYSTATIONSFILE);
}

void eOruvel::fillStationList() {
  list_status->setText("building list. please wait...");
  oruvel::fillStationListBox(station_list, state_.stations);
  setFocus(station_list);
  list_status->setText(eString().sprintf("building list finsihed [%d].   genre: %s   bitrate: %s",
                                         state_.stations.AnzahlNETElemente, state_.genres.which_genre,
                                         state_.stations.which_bitrate));
}

// The handlers of the genre selector, the two input fields and the
// highlight in the station list.
void eOruvel::selectedComboBox(eListBoxEntryText* item) {
  if (!item) {
    reject();
    return;
  }
  switch (browser_.chooseGenre(oruvel::entryKey(item))) {
    case oruvel::StationBrowser::Source::favourites:
      ReadLumoMyStations();
      break;
    case oruvel::StationBrowser::Source::stationFile:
      ReadLumoStations();
      break;
    case oruvel::StationBrowser::Source::directory:
      DownloadShoutcastFile();
      ReadLumoNET();
      break;
  }
  if (state_.stations.read_error) return;
  fillStationList();
}

void eOruvel::selectedInputBox() {
  if (!browser_.typeGenre(input_genre->getText())) return;
  DownloadShoutcastFile();
  ReadLumoNET();
  if (state_.stations.read_error == 0) fillStationList();
}

void eOruvel::selectedBitrate() {
  if (!browser_.typeBitrate(input_bitrate->getText())) return;
  oruvel::showInformation(eString().sprintf(
      "Set bitrate filter to: %s\n Use 0 to switch this function off.", state_.stations.which_bitrate));
}

void eOruvel::selectionChanged(eListBoxEntryText* item) {
  if (!item) return;
  const int key = oruvel::entryKey(item);
  const StationNode* station = browser_.highlight(key);
  if (key == 0) {
    station_info->setText(" ");
    return;
  }
  if (!station) return;
  station_info->setText(oruvel::stationRowText(state_.tuneIn.item_eintrag, station->name));
}

// Choosing a station, resolving its stream, and playing it.
void eOruvel::selectedItem(eListBoxEntryText* entry) {
  if (!entry) return;
  const int key = oruvel::entryKey(entry);
  browser_.highlight(key);
  if (key == 0) {
    station_info->setText(" ");
    list_status->setText(" ");
    setFocus(genre_combo);
    return;
  }
  BuildPlayRipStrings();
  if (state_.tuneIn.playlistread_error == 0) {
    station_info->setText(oruvel::stationRowText(state_.tuneIn.item_eintrag, browser_.current()->name));
    setFocus(play_button);
  } else {
    station_info->setText("playlist could not be read. please select another stream.");
    setFocus(station_list);
  }
}

void eOruvel::BuildPlayRipStrings() {
  if (browser_.current()) {
    station_info->setText("downloading playlist...");
    browser_.downloadPlaylist();
    station_info->setText("downloading playlist finshed");
  }
  if (!browser_.resolvePlaylist()) {
    oruvel::showInformation(
        oruvel::translated("Playlist could not be created.\nPlease select another stream."));
    return;
  }
  play_status->setText(eString().sprintf("%s", state_.tuneIn.playlist_string));
  rip_status->setText(eString().sprintf("%s", state_.tuneIn.ripp_stream));
}

void eOruvel::selectedGREEN() {
  const oruvel::TuneIn& tuneIn = state_.tuneIn;
  if (tuneIn.play_stream[0] == '\0') {
    // Nothing resolved yet: an empty reference would play nothing.
    play_status->setText("no stream chosen. please select a station first.");
    return;
  }
  showPic();
  play_status->setText(eString().sprintf("playing %s", tuneIn.playlist_string));
  my_playService(eServiceReference(eString(tuneIn.play_stream)));
}

void eOruvel::showPic() {
  Decoder::parms.apid = 0x1FFE;  // the block's second field
  Decoder::Set();
  // Only a regular file: the decoder would hang on a FIFO or read a device for ever.
  const char* picturePath = state_.config.LUMOPIC;
  if (std::FILE* picture = oruvel::openRegularFile(picturePath, "r")) {
    std::fclose(picture);
    Decoder::displayIFrameFromFile(picturePath);
  }
}

// Saving the current station to the favourites file, after asking.
int eOruvel::WriteMyStations() {
  const StationNode* station = browser_.current();
  const char* favouritesFile = state_.config.MYSTATIONSFILE;
  if (!station) {
    // No list read yet (or an empty one): there is nothing to save.
    oruvel::showInformation("no radio station selected.\nPlease select a station first.");
    return 1;
  }
  if (!browser_.currentReadsBack()) {
    // Saved as it is, it would come back as another station's id.
    oruvel::showInformation(eString().sprintf(
        "This radio station cannot be saved:\nits id \"%s\" would not be read back the same\n"
        "and would play another station.",
        station->id));
    return 1;
  }
  std::FILE* file = oruvel::openRegularFile(favouritesFile, "a+");
  if (!file) return 1;

  const int answer =
      oruvel::askUser(eString(station->name), "Oruvel - save radio station", oruvel::kBoxInfoYesNo);

  bool saved = true;
  if (answer == eMessageBox::btYes) saved = browser_.appendCurrent(file);
  if (std::fclose(file) != 0) saved = false;
  if (!saved) {
    oruvel::showInformation(eString().sprintf("radio station could not be saved to\n%s", favouritesFile));
    return 1;
  }
  return 0;
}
