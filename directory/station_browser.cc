#include "directory/station_browser.h"

#include "base/fixed_paths.h"
#include "base/fixed_text.h"
#include "base/fs_root.h"
#include "directory/directory_download.h"
#include "directory/favourites.h"

namespace oruvel {

namespace {
// Flips the field's toggle; true when it went back to 0, at the end of
// the editing.
bool editingEnded(int& toggle) {
  toggle = toggle == 0 ? 1 : 0;
  return toggle == 0;
}
}  // namespace

bool StationBrowser::readGenres(const std::function<void(const char*, int)>& onEntry) {
  return readGenreList(genres_, config_.MYGENREFILE, onEntry);
}

StationBrowser::Source StationBrowser::chooseGenre(int key) {
  tuneIn_.item_eintrag = key;
  if (key == 1) {
    copyBounded(genres_.which_genre, kFavouritesLabel);
    return Source::favourites;
  }
  if (key == 2) {
    copyBounded(genres_.which_genre, kStationsLabel);
    return Source::stationFile;
  }
  genres_.GENRE_Element_ermitteln(key, genres_.AnzahlGenreElemente);
  copyBounded(genres_.which_genre, genres_.genre_anker ? genres_.genre_anker->name : "");
  return Source::directory;
}

bool StationBrowser::typeGenre(std::string_view text) {
  copyBounded(genres_.which_genre, text);
  return editingEnded(genres_.inp_genre_flag);
}

bool StationBrowser::typeBitrate(std::string_view text) {
  copyBounded(stations_.which_bitrate, text);
  return editingEnded(stations_.inp_bitrate_flag);
}

void StationBrowser::downloadPage() const { downloadDirectoryPage(fixedView(genres_.which_genre)); }

bool StationBrowser::readPage() { return readDirectoryPage(stations_, rootedPath(paths::kLumoNet)); }

const StationNode* StationBrowser::highlight(int key) {
  tuneIn_.item_eintrag = key + 1;
  if (key == 0) return nullptr;
  stations_.NET_Element_ermitteln(key, stations_.AnzahlNETElemente);
  return stations_.net_anker;
}

void StationBrowser::downloadPlaylist() const { oruvel::downloadPlaylist(std::string_view(current()->id)); }

bool StationBrowser::resolvePlaylist() {
  tuneIn_.ripp_stream[0] = '\0';
  tuneIn_.playlist_string[0] = '\0';
  const bool resolved = current() && resolveStreamStrings(tuneIn_, config_);
  tuneIn_.playlistread_error = resolved ? 0 : 1;
  return resolved;
}

bool StationBrowser::currentReadsBack() const {
  return favouriteReadsBack(std::string_view(current()->name), std::string_view(current()->id));
}

bool StationBrowser::appendCurrent(std::FILE* favourites) const {
  return appendFavourite(favourites, std::string_view(current()->name), std::string_view(current()->id));
}

}  // namespace oruvel
