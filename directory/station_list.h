#pragma once
// The Station list: the stations of the chosen genre, keyed 1, 2, 3 ... in
// reading order.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "directory/node_list.h"
#include "directory/text_store.h"

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

namespace oruvel {

// The line buffer of the directory page and the local station files: a
// longer line is read in pieces of at most 511 bytes.
inline constexpr std::size_t kStationLineBuffer = 512;

// The Station list with its current station and the bitrate filter. One
// object lives as long as the plug-in is loaded: a second run starts with
// the list, the station and the filter the first left.
struct StationList {
  StationNode* net_anker = nullptr;  // the current station (after a lookup)
  StationNode* net_ende = nullptr;   // the node read last
  int AnzahlNETElemente = 0;
  char which_bitrate[6] = "0";
  int read_error = 0;  // 1 when the last reader could not open its file
  // Flips at every activation of the bitrate field: 1 while it is being
  // edited. Never reset while the plug-in is loaded.
  int inp_bitrate_flag = 0;
  NodeList<StationNode> nodes;  // the storage and key index behind the links
  TextStore texts;              // the texts of the nodes' fields

  // Leaves the station with key `key` at net_anker.
  void NET_Element_ermitteln(int key, int count) { net_anker = nodes.withKey(key, count); }
  // Releases the nodes and their texts; the list is empty afterwards
  // (net_anker and net_ende null, AnzahlNETElemente 0).
  void RemoveList();
  // The stations in key order (key 1 first).
  const std::vector<StationNode*>& stationsInKeyOrder() const { return nodes.byKey(); }
};

// Each reader replaces the list with what it read and sets read_error to
// 0, or, when its file cannot be opened for reading and update, sets
// read_error to 1 and leaves the list and its count as they were, so
// entries still shown keep leading to their own stations. Returns
// !read_error.

// The directory page: one station per line, stations whose "br=" is below
// which_bitrate dropped (the filter "0" is off).
bool readDirectoryPage(StationList& list, const std::string& path);
// A local station file (the station file or the favourites): a "name="
// line, then a url line whose "id=" value runs to the "&".
bool readLocalStations(StationList& list, const char* path);

}  // namespace oruvel
