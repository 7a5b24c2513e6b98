#include "directory/station_list.h"

#include <stdio_ext.h>

#include <cstdio>

#include "directory/line_values.h"
#include "directory/node_list.h"
#include "base/fixed_text.h"
#include "base/read_bounds.h"
#include "base/regular_file.h"

StationNode* net_anker = nullptr;
StationNode* net_ende = nullptr;
int AnzahlNETElemente = 0;
char which_bitrate[6] = "0";
int read_error = 0;

void NET_Element_ermitteln(int key, int count) {
  net_anker = oruvel::nodeWithKey(net_ende, key, count);
}

namespace {
// The nodes of the current list in key order, kept beside the links so a
// refill needs no walk.
std::vector<StationNode*> stations_by_key;
}  // namespace

void RemoveList() {
  oruvel::releaseChain(net_ende);
  stations_by_key.clear();
  net_anker = net_ende = nullptr;
  AnzahlNETElemente = 0;
}

namespace oruvel {

namespace {

constexpr std::size_t kStationLine = 512;  // the station files' line buffer

// Copies a value into its field, cut at the field's width.
template <std::size_t N>
void setField(char (&field)[N], const LineValue& value) {
  if (value.found) copyBounded(field, value.text);
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
// replaces is given up: its nodes and index are reused for the new one.
void giveUpList() {
  net_anker = net_ende = nullptr;
  AnzahlNETElemente = 0;
  stations_by_key.clear();
}

bool finishRead(NodeChain<StationNode>& chain) {
  chain.install(net_anker, net_ende, AnzahlNETElemente, stations_by_key);
  read_error = 0;
  return true;
}

}  // namespace

bool directoryLinePasses(std::string_view line, std::string_view filter) {
  if (filter != "0") {
    LineValue bitrate = quotedValue(line, "br=");
    if (bitrate.found && leadingInteger(bitrate.text) < leadingInteger(filter)) return false;
  }
  return lineHas(line, "name=");
}

void stationFromDirectoryLine(std::string_view line, StationNode& node) {
  setField(node.name, quotedValue(line, "name="));
  setField(node.id, quotedValue(line, "id="));
  setField(node.bitrate, quotedValue(line, "br="));
  setField(node.genre, quotedValue(line, "genre="));
}

bool readDirectoryPage(const std::string& path) {
  std::FILE* file = openForUpdate(path.c_str());
  if (!file) return failRead();
  std::string_view filter = fixedView(which_bitrate);
  NodeChain<StationNode> chain(net_ende, std::move(stations_by_key));
  giveUpList();
  PieceReader reader(file, kStationLine, bounds::kPageBytes);
  std::string_view piece;
  while (reader.next(piece))
    if (directoryLinePasses(piece, filter)) stationFromDirectoryLine(piece, *chain.push());
  std::fclose(file);
  return finishRead(chain);
}

bool readLocalStations(const char* path) {
  std::FILE* file = openForUpdate(path);
  if (!file) return failRead();
  NodeChain<StationNode> chain(net_ende, std::move(stations_by_key));
  giveUpList();
  PieceReader reader(file, kStationLine, bounds::kStationFileBytes);
  std::string_view piece;
  while (reader.next(piece)) {
    LineValue name = quotedValue(piece, "name=");
    if (!name.found) continue;
    StationNode* node = chain.push();
    setField(node->name, name);
    // The very next line holds the tune-in address; it is consumed either
    // way. A name line that ends the file gives its own.
    if (lineHas(piece, "url=")) setField(node->id, ampersandValue(piece, "id="));
    if (!reader.next(piece)) break;
    node->id[0] = '\0';
    if (lineHas(piece, "url=")) setField(node->id, ampersandValue(piece, "id="));
  }
  std::fclose(file);
  return finishRead(chain);
}

const std::vector<StationNode*>& stationsInKeyOrder() { return stations_by_key; }

}  // namespace oruvel
