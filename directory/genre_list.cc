#include "directory/genre_list.h"

#include <cstdio>

#include "directory/node_list.h"
#include "directory/text_store.h"
#include "base/fixed_text.h"
#include "base/read_bounds.h"
#include "base/regular_file.h"

GenreNode* genre_anker = nullptr;
GenreNode* genre_ende = nullptr;
int AnzahlGenreElemente = 0;
char which_genre[64];

namespace {
// The nodes of the Genre list, their storage and their key index, and
// their names.
oruvel::NodeList<GenreNode> genres;
oruvel::TextStore genreNames;
}  // namespace

void GENRE_Element_ermitteln(int key, int count) { genre_anker = genres.withKey(key, count); }

namespace oruvel {

namespace {
constexpr std::string_view kGenreElement = "<genre name=";
constexpr std::size_t kGenreLine = 256;  // the genre file's line buffer
}  // namespace

bool genreNameInLine(std::string_view line, std::string_view& name) {
  std::size_t at = line.find(kGenreElement);
  if (at == std::string_view::npos) return false;
  std::size_t start = at + kGenreElement.size() + 1;  // behind the opening quote
  if (start > line.size()) return false;
  std::size_t end = line.find('"', start);
  if (end == std::string_view::npos) return false;
  name = line.substr(start, end - start);
  return true;
}

bool readGenreList(const char* path, const std::function<void(const char*, int)>& onEntry) {
  AnzahlGenreElemente = 0;
  std::FILE* file = openRegularFile(path, "r+");
  if (!file) return false;

  genre_anker = genre_ende = nullptr;
  genres.clear();
  genreNames.clear();
  auto add = [&](std::string_view name) {
    GenreNode* node = genres.push();
    node->name = genreNames.add(name, GenreNode::kNameBytes);
    if (onEntry) onEntry(node->name, genres.count());
  };
  add(kFavouritesGenre);
  add(kStationsGenre);

  PieceReader reader(file, kGenreLine, bounds::kGenreFileBytes);
  std::string_view piece, name;
  while (reader.next(piece))
    if (genreNameInLine(piece, name)) add(name);
  std::fclose(file);

  genres.trim();
  genreNames.trim();
  genre_anker = genre_ende = genres.head();
  AnzahlGenreElemente = genres.count();
  return true;
}

}  // namespace oruvel
