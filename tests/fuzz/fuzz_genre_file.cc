// The genre file: any bytes give the two local entries, then terminated names,
// keys 1..count announced in order, and lookups on the list for every key.
#include "directory/genre_list.h"
#include "tests/fuzz/fuzz_support.h"

FUZZ_TARGET(in) {
  const std::string path = fuzzsupport::at("/var/tuxbox/config/oruvel/genre.xml");
  fuzzsupport::writeFile(path, in.all);
  // Kept from input to input, as the plug-in keeps it from run to run.
  static oruvel::GenreList genres;
  int announced = 0;
  FUZZ_CHECK(oruvel::readGenreList(genres, path.c_str(), [&](const char* name, int key) {
    FUZZ_CHECK(name != nullptr && std::strlen(name) <= GenreNode::kNameBytes && key == ++announced);
  }));
  FUZZ_CHECK(genres.AnzahlGenreElemente >= 2 && announced == genres.AnzahlGenreElemente);
  int nodes = 0;
  for (GenreNode* n = genres.genre_ende; n; n = n->next)
    FUZZ_CHECK(fuzzsupport::within(n->name, n->kNameBytes) && ++nodes <= genres.AnzahlGenreElemente);
  FUZZ_CHECK(nodes == genres.AnzahlGenreElemente);
  // Keys below 1 stop at key 1, keys above the last at the last.
  for (int key : {INT_MIN, -1, 0, 1, 2, genres.AnzahlGenreElemente + 1, INT_MAX}) {
    genres.GENRE_Element_ermitteln(key, genres.AnzahlGenreElemente);
    FUZZ_CHECK(key > 2 ? genres.genre_anker == genres.genre_ende
                       : !std::strcmp(genres.genre_anker->name, key < 2 ? oruvel::kFavouritesGenre : oruvel::kStationsGenre));
  }
}
