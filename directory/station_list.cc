#include "directory/station_list.h"

#include <stdio_ext.h>

#include <cstdio>

#include "directory/directory_page.h"
#include "directory/line_values.h"
#include "directory/node_list.h"
#include "directory/text_store.h"
#include "base/fixed_text.h"
#include "base/read_bounds.h"
#include "base/regular_file.h"

StationNode* net_anker = nullptr;
StationNode* net_ende = nullptr;
int AnzahlNETElemente = 0;
char which_bitrate[6] = "0";
int read_error = 0;

namespace {
// The nodes of the current list, their storage and their key index, and
// the texts of their fields.
oruvel::NodeList<StationNode> stations;
oruvel::TextStore stationTexts;
}  // namespace

void NET_Element_ermitteln(int key, int count) { net_anker = stations.withKey(key, count); }

void RemoveList() {
  stations.release();
  stationTexts.release();
  net_anker = net_ende = nullptr;
  AnzahlNETElemente = 0;
}

namespace oruvel {

namespace {

constexpr std::size_t kStationLine = 512;  // the station files' line buffer

// A value stored for its field, cut at the field's limit; a key that does
// not occur leaves the field empty.
const char* stored(const LineValue& value, std::size_t limit) { return stationTexts.add(value.text, limit); }
const char* stored(const DirectoryKeys& keys, DirectoryKeys::Key key, std::size_t limit) {
  return keys.has(key) ? keys.storeValue(key, stationTexts, limit) : "";
}

// A new station with every field empty.
StationNode* newStation() {
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

bool failRead() {
  read_error = 1;
  return false;
}

// Once the new file is open the read cannot fail any more, so the list it
// replaces is given up: its nodes are filled again with the new one.
void giveUpList() {
  net_anker = net_ende = nullptr;
  AnzahlNETElemente = 0;
  stations.clear();
  stationTexts.clear();
}

bool finishRead() {
  stations.trim();
  stationTexts.trim();
  net_anker = net_ende = stations.head();
  AnzahlNETElemente = stations.count();
  read_error = 0;
  return true;
}

}  // namespace

bool readDirectoryPage(const std::string& path) {
  std::FILE* file = openForUpdate(path.c_str());
  if (!file) return failRead();
  const std::string_view filter = fixedView(which_bitrate);
  const bool filtering = filter != "0";
  const long lowest = leadingInteger(filter);
  giveUpList();
  BlockPieceReader reader(file, kStationLine, bounds::kPageBytes);
  std::string_view piece;
  while (reader.next(piece)) {
    const DirectoryKeys keys = directoryKeys(piece);
    if (!keys.has(keys.kName)) continue;
    // A station without "br=" passes the filter.
    if (filtering && keys.has(keys.kBitrate) && leadingInteger(keys.value(keys.kBitrate)) < lowest) continue;
    StationNode* node = stations.push();
    node->name = stored(keys, keys.kName, StationNode::kNameBytes);
    node->id = stored(keys, keys.kId, StationNode::kIdBytes);
    node->bitrate = stored(keys, keys.kBitrate, StationNode::kBitrateBytes);
    node->genre = stored(keys, keys.kGenre, StationNode::kGenreBytes);
  }
  std::fclose(file);
  return finishRead();
}

bool readLocalStations(const char* path) {
  std::FILE* file = openForUpdate(path);
  if (!file) return failRead();
  giveUpList();
  PieceReader reader(file, kStationLine, bounds::kStationFileBytes);
  std::string_view piece;
  while (reader.next(piece)) {
    LineValue name = quotedValue(piece, "name=");
    if (!name.found) continue;
    StationNode* node = newStation();
    node->name = stored(name, StationNode::kNameBytes);
    // The very next line holds the tune-in address; it is consumed either
    // way. A name line that ends the file gives its own.
    if (lineHas(piece, "url=")) node->id = stored(ampersandValue(piece, "id="), StationNode::kIdBytes);
    if (!reader.next(piece)) break;
    node->id = "";
    if (lineHas(piece, "url=")) node->id = stored(ampersandValue(piece, "id="), StationNode::kIdBytes);
  }
  std::fclose(file);
  return finishRead();
}

const std::vector<StationNode*>& stationsInKeyOrder() { return stations.byKey(); }

}  // namespace oruvel
