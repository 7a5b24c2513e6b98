#include "directory/genre_list.h"

#include <cstdio>

#include "base/fixed_text.h"
#include "base/piece_reader.h"
#include "base/read_bounds.h"
#include "base/regular_file.h"

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

bool readGenreList(GenreList& list, const char* path, const std::function<void(const char*, int)>& onEntry) {
  list.AnzahlGenreElemente = 0;
  std::FILE* file = openRegularFile(path, "r+");
  if (!file) return false;

  list.genre_anker = list.genre_ende = nullptr;
  NodeList<GenreNode>& genres = list.nodes;
  TextStore& names = list.names;
  genres.clear();
  names.clear();
  auto add = [&](std::string_view name) {
    GenreNode* node = genres.push();
    node->name = names.add(name, GenreNode::kNameBytes);
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
  names.trim();
  list.genre_anker = list.genre_ende = genres.head();
  list.AnzahlGenreElemente = genres.count();
  return true;
}

}  // namespace oruvel
