#include "directory/station_list.h"

#include <stdio_ext.h>

#include <cstdio>

#include "directory/bitrate_filter.h"
#include "directory/directory_page.h"
#include "directory/line_values.h"
#include "directory/node_list.h"
#include "directory/text_store.h"
#include "base/fixed_text.h"
#include "base/piece_reader.h"
#include "base/read_bounds.h"
#include "base/regular_file.h"

namespace oruvel {

void StationList::RemoveList() {
  nodes.release();
  texts.release();
  net_anker = net_ende = nullptr;
  AnzahlNETElemente = 0;
}

namespace {

// A value stored for its field, cut at the field's limit; a key that does
// not occur leaves the field empty.
const char* stored(TextStore& texts, const LineValue& value, std::size_t limit) {
  return texts.add(value.text, limit);
}
const char* stored(TextStore& texts, const DirectoryKeys& keys, DirectoryKeys::Key key, std::size_t limit) {
  return keys.has(key) ? keys.storeValue(key, texts, limit) : "";
}

// A new station with every field empty.
StationNode* newStation(NodeList<StationNode>& stations) {
  StationNode* node = stations.push();
  node->name = node->genre = node->id = node->bitrate = "";
  return node;
}

// Opens for reading and update, as the receiver's files are opened: a file
// that cannot be written counts as missing. Only this thread reads it, so
// the byte-wise reading need not lock the stream for every byte.
std::FILE* openForUpdate(const char* path) {
  std::FILE* file = openRegularFile(path, "r+");
  if (file) __fsetlocking(file, FSETLOCKING_BYCALLER);
  return file;
}

bool failRead(StationList& list) {
  list.read_error = 1;
  return false;
}

// Once the new file is open the read cannot fail any more, so the list it
// replaces is given up: its nodes are filled again with the new one.
NodeList<StationNode>& giveUpList(StationList& list) {
  list.net_anker = list.net_ende = nullptr;
  list.AnzahlNETElemente = 0;
  list.nodes.clear();
  list.texts.clear();
  return list.nodes;
}

bool finishRead(StationList& list) {
  list.nodes.trim();
  list.texts.trim();
  list.net_anker = list.net_ende = list.nodes.head();
  list.AnzahlNETElemente = list.nodes.count();
  list.read_error = 0;
  return true;
}

}  // namespace

bool readDirectoryPage(StationList& list, const std::string& path) {
  std::FILE* file = openForUpdate(path.c_str());
  if (!file) return failRead(list);
  const BitrateFilter filter(fixedView(list.which_bitrate));
  NodeList<StationNode>& stations = giveUpList(list);
  PieceReader reader(file, kStationLineBuffer, bounds::kPageBytes);
  std::string_view piece;
  while (reader.next(piece)) {
    const DirectoryKeys keys = directoryKeys(piece);
    if (!keys.has(keys.kName)) continue;
    if (!filter.passes(keys)) continue;
    StationNode* node = stations.push();
    node->name = stored(list.texts, keys, keys.kName, StationNode::kNameBytes);
    node->id = stored(list.texts, keys, keys.kId, StationNode::kIdBytes);
    node->bitrate = stored(list.texts, keys, keys.kBitrate, StationNode::kBitrateBytes);
    node->genre = stored(list.texts, keys, keys.kGenre, StationNode::kGenreBytes);
  }
  std::fclose(file);
  return finishRead(list);
}

bool readLocalStations(StationList& list, const char* path) {
  std::FILE* file = openForUpdate(path);
  if (!file) return failRead(list);
  NodeList<StationNode>& stations = giveUpList(list);
  PieceReader reader(file, kStationLineBuffer, bounds::kStationFileBytes);
  std::string_view piece;
  while (reader.next(piece)) {
    LineValue name = quotedValue(piece, "name=");
    if (!name.found) continue;
    StationNode* node = newStation(stations);
    node->name = stored(list.texts, name, StationNode::kNameBytes);
    // The very next line holds the tune-in address; it is consumed either
    // way. A name line that ends the file gives its own.
    if (lineHas(piece, "url=")) node->id = stored(list.texts, ampersandValue(piece, "id="), StationNode::kIdBytes);
    if (!reader.next(piece)) break;
    node->id = "";
    if (lineHas(piece, "url=")) node->id = stored(list.texts, ampersandValue(piece, "id="), StationNode::kIdBytes);
  }
  std::fclose(file);
  return finishRead(list);
}

}  // namespace oruvel
