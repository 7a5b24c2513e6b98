// The genre file: any bytes give the two local entries and then only
// terminated names, keys 1..count announced in order, and lookups that
// stay on the list for every key, sensible or not.
#include <climits>

#include "directory/genre_list.h"
#include "tests/fuzz/fuzz_support.h"

FUZZ_TARGET(in) {
  static const std::string path = fuzzsupport::at("/var/tuxbox/config/oruvel/genre.xml");
  fuzzsupport::writeFile(path, in.all);
  int announced = 0;
  const bool read = oruvel::readGenreList(path.c_str(), [&](const char* name, int key) {
    FUZZ_CHECK(name != nullptr && std::strlen(name) < sizeof(GenreNode::name));
    FUZZ_CHECK(key == ++announced);
  });
  FUZZ_CHECK(read && AnzahlGenreElemente >= 2 && announced == AnzahlGenreElemente);
  int nodes = 0;
  for (GenreNode* n = genre_ende; n; n = n->next)
    FUZZ_CHECK(fuzzsupport::terminated(n->name) && ++nodes <= AnzahlGenreElemente);
  FUZZ_CHECK(nodes == AnzahlGenreElemente);
  const auto keyed = [](int key) {
    GENRE_Element_ermitteln(key, AnzahlGenreElemente);
    return genre_anker;
  };
  // Keys below 1 stop at key 1, keys above the last at the last.
  for (int key : {INT_MIN, -1, 0, 1})
    FUZZ_CHECK(keyed(key) && std::strcmp(genre_anker->name, oruvel::kFavouritesGenre) == 0);
  FUZZ_CHECK(keyed(2) && std::strcmp(genre_anker->name, oruvel::kStationsGenre) == 0);
  for (int key : {AnzahlGenreElemente + 1, INT_MAX}) FUZZ_CHECK(keyed(key) == genre_ende);
}
