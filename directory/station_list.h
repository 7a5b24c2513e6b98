#pragma once
// The Station list: the stations of the chosen genre, keyed 1, 2, 3 ... in
// reading order.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Each text field is NUL-terminated and stored at its length, at most the
// bytes below (a longer value is cut there); a field whose key does not
// occur for the station is empty.
struct StationNode {
  static constexpr std::size_t kNameBytes = 511;
  static constexpr std::size_t kGenreBytes = 127;
  static constexpr std::size_t kIdBytes = 15;
  static constexpr std::size_t kBitrateBytes = 11;

  const char* name;
  const char* genre;  // directory page only
  const char* id;
  const char* bitrate;  // directory page only
  StationNode* next;
};

extern StationNode* net_anker;
extern StationNode* net_ende;
extern int AnzahlNETElemente;
extern char which_bitrate[6];
extern int read_error;

// Leaves the station with key `key` at net_anker.
void NET_Element_ermitteln(int key, int count);
// Releases the nodes from net_ende on; the list is empty afterwards
// (net_anker and net_ende null, AnzahlNETElemente 0).
void RemoveList();

namespace oruvel {

// Each reader replaces the Station list with what it read and sets
// read_error to 0, or, when its file cannot be opened for reading and
// update, sets read_error to 1 and leaves the list and its count as they
// were, so entries still shown keep leading to their own stations.
// Returns !read_error.

// The directory page: one station per line, stations whose "br=" is below
// which_bitrate dropped (the filter "0" is off).
bool readDirectoryPage(const std::string& path);
// A local station file (the station file or the favourites): a "name="
// line, then a url line whose "id=" value runs to the "&".
bool readLocalStations(const char* path);

// The stations of the current list in key order (key 1 first).
const std::vector<StationNode*>& stationsInKeyOrder();

}  // namespace oruvel
