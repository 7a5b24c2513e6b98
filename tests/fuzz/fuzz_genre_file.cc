// The genre file: any bytes give the two local entries and then only
// terminated names, keys 1..count announced in order, and lookups that
// stay on the list for every key, sensible or not.
#include <climits>
#include <cstdint>
#include <vector>

#include "directory/genre_list.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path = fuzzsupport::at("/var/tuxbox/config/oruvel/genre.xml");
  fuzzsupport::writeFile(path, data, size);
  std::vector<int> keys;
  bool read = oruvel::readGenreList(path.c_str(), [&](const char* name, int key) {
    FUZZ_CHECK(name != nullptr && std::strlen(name) < sizeof(GenreNode::name));
    keys.push_back(key);
  });
  FUZZ_CHECK(read);
  FUZZ_CHECK(AnzahlGenreElemente >= 2);
  FUZZ_CHECK(static_cast<int>(keys.size()) == AnzahlGenreElemente);
  for (std::size_t i = 0; i < keys.size(); ++i) FUZZ_CHECK(keys[i] == static_cast<int>(i) + 1);

  // Walk the list: exactly count nodes, every name terminated.
  int nodes = 0;
  for (GenreNode* n = genre_ende; n; n = n->next) {
    FUZZ_CHECK(fuzzsupport::terminated(n->name));
    FUZZ_CHECK(++nodes <= AnzahlGenreElemente);
  }
  FUZZ_CHECK(nodes == AnzahlGenreElemente);
  GENRE_Element_ermitteln(1, AnzahlGenreElemente);
  FUZZ_CHECK(genre_anker && std::strcmp(genre_anker->name, oruvel::kFavouritesGenre) == 0);
  GENRE_Element_ermitteln(2, AnzahlGenreElemente);
  FUZZ_CHECK(genre_anker && std::strcmp(genre_anker->name, oruvel::kStationsGenre) == 0);
  // Keys off the list stop at its ends: below 1 at key 1, above at the last.
  for (int key : {INT_MIN, -1, 0}) {
    GENRE_Element_ermitteln(key, AnzahlGenreElemente);
    FUZZ_CHECK(genre_anker && std::strcmp(genre_anker->name, oruvel::kFavouritesGenre) == 0);
  }
  for (int key : {AnzahlGenreElemente + 1, INT_MAX}) {
    GENRE_Element_ermitteln(key, AnzahlGenreElemente);
    FUZZ_CHECK(genre_anker == genre_ende);
  }
  return 0;
}
