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
  const char* genreFile = state_.config.MYGENREFILE;
  bool read = oruvel::readGenreList(state_.genres, genreFile, [this](const char* name, int key) {
    auto* entry = new eListBoxEntryText(genre_combo, name, oruvel::keyPointer(key), 0, eString(), 0);
    genre_combo->setCurrent(entry, false);
  });
  if (!read) oruvel::showInformation(genreFile);
}

// The directory page for the current genre, fetched while the window waits.
void eOruvel::DownloadShoutcastFile() {
  list_status->setText("downloading... please wait.");
  oruvel::downloadDirectoryPage(oruvel::fixedView(state_.genres.which_genre));
  list_status->setText("finished downloading.");
}

// The three station readers as the window runs them, and the refill of
// the station list box.
void eOruvel::ReadLumoNET() {
  if (!oruvel::readDirectoryPage(state_.stations, oruvel::rootedPath(oruvel::paths::kLumoNet)))
    oruvel::showInformation(oruvel::translated("lumonet reading error."));
}

void eOruvel::ReadLumoStations() {
  const char* path = state_.config.STATIONSFILE;
  if (!oruvel::readLocalStations(state_.stations, path)) oruvel::showInformation(path);
}

void eOruvel::ReadLumoMyStations() {
  const char* path = state_.config.MYSTATIONSFILE;
  if (!oruvel::readLocalStations(state_.stations, path)) oruvel::showInformation(path);
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
  oruvel::GenreList& genres = state_.genres;
  const int key = oruvel::entryKey(item);
  state_.tuneIn.item_eintrag = key;
  if (key == 1) {
    oruvel::copyBounded(genres.which_genre, oruvel::kFavouritesLabel);
    ReadLumoMyStations();
  } else if (key == 2) {
    oruvel::copyBounded(genres.which_genre, oruvel::kStationsLabel);
    ReadLumoStations();
  } else {
    genres.GENRE_Element_ermitteln(key, genres.AnzahlGenreElemente);
    oruvel::copyBounded(genres.which_genre, genres.genre_anker ? genres.genre_anker->name : "");
    DownloadShoutcastFile();
    ReadLumoNET();
  }
  if (state_.stations.read_error) return;
  fillStationList();
}

void eOruvel::selectedInputBox() {
  oruvel::copyBounded(state_.genres.which_genre, input_genre->getText());
  if (!editingEnded(state_.genres.inp_genre_flag)) return;
  DownloadShoutcastFile();
  ReadLumoNET();
  if (state_.stations.read_error == 0) fillStationList();
}

void eOruvel::selectedBitrate() {
  oruvel::StationList& stations = state_.stations;
  oruvel::copyBounded(stations.which_bitrate, input_bitrate->getText());
  if (!editingEnded(stations.inp_bitrate_flag)) return;
  oruvel::showInformation(eString().sprintf(
      "Set bitrate filter to: %s\n Use 0 to switch this function off.", stations.which_bitrate));
}

void eOruvel::selectionChanged(eListBoxEntryText* item) {
  if (!item) return;
  oruvel::StationList& stations = state_.stations;
  const int key = oruvel::entryKey(item);
  state_.tuneIn.item_eintrag = key + 1;
  if (key == 0) {
    station_info->setText(" ");
    return;
  }
  stations.NET_Element_ermitteln(key, stations.AnzahlNETElemente);
  if (!stations.net_anker) return;
  station_info->setText(oruvel::stationRowText(state_.tuneIn.item_eintrag, stations.net_anker->name));
}

// Choosing a station, resolving its stream, and playing it.
void eOruvel::selectedItem(eListBoxEntryText* entry) {
  if (!entry) return;
  oruvel::StationList& stations = state_.stations;
  oruvel::TuneIn& tuneIn = state_.tuneIn;
  const int key = oruvel::entryKey(entry);
  tuneIn.item_eintrag = key + 1;
  if (tuneIn.item_eintrag == 1) {
    station_info->setText(" ");
    list_status->setText(" ");
    setFocus(genre_combo);
    return;
  }
  stations.NET_Element_ermitteln(key, stations.AnzahlNETElemente);
  BuildPlayRipStrings();
  if (tuneIn.playlistread_error == 0) {
    station_info->setText(oruvel::stationRowText(tuneIn.item_eintrag, stations.net_anker->name));
    setFocus(play_button);
  } else {
    station_info->setText("playlist could not be read. please select another stream.");
    setFocus(station_list);
  }
}

void eOruvel::BuildPlayRipStrings() {
  const StationNode* station = state_.stations.net_anker;
  oruvel::TuneIn& tuneIn = state_.tuneIn;
  tuneIn.ripp_stream[0] = '\0';
  tuneIn.playlist_string[0] = '\0';
  if (station) {
    station_info->setText("downloading playlist...");
    oruvel::downloadPlaylist(oruvel::fixedView(station->id));
    station_info->setText("downloading playlist finshed");
  }
  if (!station || !oruvel::resolveStreamStrings(tuneIn, state_.config)) {
    oruvel::showInformation(
        oruvel::translated("Playlist could not be created.\nPlease select another stream."));
    tuneIn.playlistread_error = 1;
    return;
  }
  tuneIn.playlistread_error = 0;
  play_status->setText(eString().sprintf("%s", tuneIn.playlist_string));
  rip_status->setText(eString().sprintf("%s", tuneIn.ripp_stream));
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
  const StationNode* net_anker = state_.stations.net_anker;
  const char* favouritesFile = state_.config.MYSTATIONSFILE;
  if (!net_anker) {
    // No list read yet (or an empty one): there is nothing to save.
    oruvel::showInformation("no radio station selected.\nPlease select a station first.");
    return 1;
  }
  const std::string_view id = oruvel::fixedView(net_anker->id);
  if (!oruvel::favouriteReadsBack(oruvel::fixedView(net_anker->name), id)) {
    // Saved as it is, it would come back as another station's id.
    oruvel::showInformation(eString().sprintf(
        "This radio station cannot be saved:\nits id \"%s\" would not be read back the same\n"
        "and would play another station.",
        net_anker->id));
    return 1;
  }
  std::FILE* file = oruvel::openRegularFile(favouritesFile, "a+");
  if (!file) return 1;

  const int answer =
      oruvel::askUser(eString(net_anker->name), "Oruvel - save radio station", oruvel::kBoxInfoYesNo);

  bool saved = true;
  if (answer == eMessageBox::btYes)
    saved = oruvel::appendFavourite(file, oruvel::fixedView(net_anker->name), id);
  if (std::fclose(file) != 0) saved = false;
  if (!saved) {
    oruvel::showInformation(eString().sprintf("radio station could not be saved to\n%s",
                                              favouritesFile));
    return 1;
  }
  return 0;
}
