#pragma once
// The Genre list: the two local pseudo-genres and the genres of the genre
// file, keyed 1, 2, 3 ... in reading order.
#include <cstddef>
#include <functional>
#include <string_view>

#include "directory/node_list.h"
#include "directory/text_store.h"

struct GenreNode {
  // The name is NUL-terminated and stored at its length, at most this many
  // bytes (a longer one is cut there): which_genre holds a whole one.
  static constexpr std::size_t kNameBytes = 63;

  const char* name;
  GenreNode* next;
};

namespace oruvel {

// The Genre list and the genre the station list was last asked for. One
// object lives as long as the plug-in is loaded, so a second run finds the
// genres and the genre of the first.
struct GenreList {
  GenreNode* genre_anker = nullptr;  // the current genre (after a lookup)
  GenreNode* genre_ende = nullptr;   // the node read last
  int AnzahlGenreElemente = 0;
  char which_genre[64] = {};
  // Flips at every activation of the typed-genre field: 1 while it is
  // being edited. Never reset while the plug-in is loaded.
  int inp_genre_flag = 0;
  NodeList<GenreNode> nodes;  // the storage and key index behind the links
  TextStore names;            // the nodes' names

  // Leaves the node with key `key` at genre_anker.
  void GENRE_Element_ermitteln(int key, int count) { genre_anker = nodes.withKey(key, count); }
};

inline constexpr const char* kFavouritesGenre = "local:lumostations.xml";  // key 1
inline constexpr const char* kStationsGenre = "local: stations.xml";       // key 2
// What which_genre reads for the two local entries.
inline constexpr const char* kFavouritesLabel = "local: lumostations.xml";
inline constexpr const char* kStationsLabel = "local: stations.xml";

// The genre name of one line of the genre file: the text after the first
// "<genre name=" and its opening quote, up to the closing quote. False for
// a line without the element or without a closing quote.
bool genreNameInLine(std::string_view line, std::string_view& name);

// Reads the genre file at `path` into `list`: the two local entries first,
// then one node per genre line, each announced to `onEntry` with its name
// and key. The list it replaces is freed. When the file cannot be opened
// for reading and update, false: AnzahlGenreElemente is 0 and the list
// stays as it was.
bool readGenreList(GenreList& list, const char* path,
                   const std::function<void(const char* name, int key)>& onEntry);

}  // namespace oruvel
