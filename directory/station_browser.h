#pragma once
// The station browser: choosing a genre, reading its stations, the bitrate
// filter's setting, the highlighted station, tuning in and saving a
// favourite, over the state the subsystem keeps. Widget-free: the main
// window's handlers (ui/directory_window.cc) call it and show what it finds.
#include <cstdio>
#include <functional>
#include <string_view>

#include "base/config.h"
#include "directory/genre_list.h"
#include "directory/station_list.h"
#include "directory/tune_in.h"

namespace oruvel {

class StationBrowser {
 public:
  StationBrowser(const Config& config, GenreList& genres, StationList& stations, TuneIn& tuneIn)
      : config_(config), genres_(genres), stations_(stations), tuneIn_(tuneIn) {}

  // The genre file, into the Genre list; see readGenreList.
  bool readGenres(const std::function<void(const char* name, int key)>& onEntry);

  // Where the stations of a genre selector entry come from.
  enum class Source { favourites, stationFile, directory };
  // The genre selector's entry `key` chosen: it becomes item_eintrag and
  // which_genre.
  Source chooseGenre(int key);
  // The typed genre and the typed bitrate filter, taken at every signal of
  // their field; true when the signal ended the editing (the field signals
  // when its editing starts and again when it ends).
  bool typeGenre(std::string_view text);
  bool typeBitrate(std::string_view text);

  // The station page of which_genre, downloaded to /tmp/lumonet.
  void downloadPage() const;
  // The Station list read from the page (through the bitrate filter), the
  // local station file or the favourites; see readDirectoryPage.
  bool readPage();
  bool readStationFile() { return readLocalStations(stations_, config_.STATIONSFILE); }
  bool readFavourites() { return readLocalStations(stations_, config_.MYSTATIONSFILE); }

  // The station list box's entry `key` highlighted or chosen: item_eintrag
  // becomes its row (key + 1), and a station entry's station the current
  // one. The current station; null for "[leave listbox]" (key 0).
  const StationNode* highlight(int key);
  const StationNode* current() const { return stations_.net_anker; }

  // Downloads the current station's playlist to /tmp/lumolist.m3u.
  void downloadPlaylist() const;
  // The stream strings from the playlist just downloaded; true, and
  // playlistread_error 0, when the current station has a stream.
  bool resolvePlaylist();

  // Whether the current station would be read back from the favourites
  // with its very id.
  bool currentReadsBack() const;
  // Appends the current station to the open favourites file; see
  // appendFavourite.
  bool appendCurrent(std::FILE* favourites) const;

 private:
  const Config& config_;
  GenreList& genres_;
  StationList& stations_;
  TuneIn& tuneIn_;
};

}  // namespace oruvel
