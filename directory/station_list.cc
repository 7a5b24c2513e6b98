#include "directory/station_list.h"

#include <cstdio>
#include <cstring>

#include "directory/line_values.h"
#include "directory/node_list.h"
#include "plugin/fixed_text.h"

StationNode* net_anker = nullptr;
StationNode* net_ende = nullptr;
int AnzahlNETElemente = 0;
char which_bitrate[6] = "0";
int read_error = 0;

void NET_Element_ermitteln(int key, int count) {
  net_anker = oruvel::nodeWithKey(net_ende, key, count);
}

void RemoveList() {
  oruvel::releaseChain(net_ende);
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
// that cannot be written counts as missing.
std::FILE* openForUpdate(const char* path) { return std::fopen(path, "r+"); }

bool failRead() {
  read_error = 1;
  return false;
}

bool finishRead(NodeChain<StationNode>& chain) {
  chain.install(net_anker, net_ende, AnzahlNETElemente);
  read_error = 0;
  return true;
}

}  // namespace

bool stationFromDirectoryLine(std::string_view line, std::string_view filter, StationNode& node) {
  LineValue bitrate = quotedValue(line, "br=");
  if (filter != "0" && bitrate.found && leadingInteger(bitrate.text) < leadingInteger(filter))
    return false;
  LineValue name = quotedValue(line, "name=");
  if (!name.found) return false;
  setField(node.name, name);
  setField(node.id, quotedValue(line, "id="));
  setField(node.bitrate, bitrate);
  setField(node.genre, quotedValue(line, "genre="));
  return true;
}

bool readDirectoryPage(const std::string& path) {
  std::FILE* file = openForUpdate(path.c_str());
  if (!file) return failRead();
  std::string_view filter = fixedView(which_bitrate);
  NodeChain<StationNode> chain;
  StationNode scratch{};
  PieceReader reader(file, kStationLine);
  std::string_view piece;
  while (reader.next(piece)) {
    if (!stationFromDirectoryLine(piece, filter, scratch)) continue;
    StationNode* node = chain.push();
    StationNode* below = node->next;
    *node = scratch;
    node->next = below;
    scratch = StationNode{};
  }
  std::fclose(file);
  return finishRead(chain);
}

bool readLocalStations(const char* path) {
  std::FILE* file = openForUpdate(path);
  if (!file) return failRead();
  NodeChain<StationNode> chain;
  PieceReader reader(file, kStationLine);
  std::string_view piece;
  while (reader.next(piece)) {
    LineValue name = quotedValue(piece, "name=");
    if (!name.found) continue;
    StationNode* node = chain.push();
    setField(node->name, name);
    // The very next line holds the tune-in address; it is consumed either way.
    if (reader.next(piece) && lineHas(piece, "url=")) setField(node->id, ampersandValue(piece, "id="));
  }
  std::fclose(file);
  return finishRead(chain);
}

std::vector<StationNode*> stationsInKeyOrder() { return nodesInKeyOrder(net_ende, AnzahlNETElemente); }

}  // namespace oruvel
