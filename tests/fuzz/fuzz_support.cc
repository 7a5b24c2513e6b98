#include "tests/fuzz/fuzz_support.h"

#include <cctype>
#include <climits>

#include "directory/station_list.h"
#include "base/fs_root.h"

namespace fuzzsupport {

namespace {
struct Root : testsupport::TempRoot {
  Root() { oruvel::setFsRoot(path()); }
};
}  // namespace

std::string at(const char* fixedPath) {
  static const Root root;
  return root.at(fixedPath);
}

bool shellWords(std::string_view line, std::vector<std::string>& words) {
  words.clear();
  std::string word;
  bool inWord = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c == ' ' || c == '\t') {
      if (inWord) words.push_back(word);
      word.clear();
      inWord = false;
      continue;
    }
    inWord = true;
    if (c == '\'') {
      const std::size_t end = line.find('\'', i + 1);
      if (end == std::string_view::npos) return false;
      word.append(line.substr(i + 1, end - i - 1));
      i = end;
    } else if (c == '\\') {
      if (i + 1 >= line.size() || line[i + 1] == '\n') return false;
      word += line[++i];
    } else if (c != '\0' && (std::isalnum(static_cast<unsigned char>(c)) || std::strchr("/._-,+:@", c))) {
      word += c;
    } else {
      return false;
    }
  }
  if (inWord) words.push_back(word);
  return true;
}

void checkStationList() {
  FUZZ_CHECK(read_error == 0);
  const std::vector<StationNode*>& byKey = oruvel::stationsInKeyOrder();
  FUZZ_CHECK(static_cast<int>(byKey.size()) == AnzahlNETElemente);
  int nodes = 0;
  for (StationNode* n = net_ende; n; n = n->next) {
    FUZZ_CHECK(terminated(n->name) && terminated(n->genre) && terminated(n->id) && terminated(n->bitrate));
    FUZZ_CHECK(++nodes <= AnzahlNETElemente);
  }
  FUZZ_CHECK(nodes == AnzahlNETElemente);
  for (int key = 1; key <= AnzahlNETElemente; ++key) {
    NET_Element_ermitteln(key, AnzahlNETElemente);
    FUZZ_CHECK(net_anker == byKey[key - 1]);
  }
  // Keys below 1 stop at the first station, keys above the last at the last.
  StationNode* first = byKey.empty() ? nullptr : byKey.front();
  for (int key : {INT_MIN, -5, 0, AnzahlNETElemente + 1, INT_MAX}) {
    NET_Element_ermitteln(key, AnzahlNETElemente);
    FUZZ_CHECK(net_anker == (key < 1 ? first : net_ende));
  }
}

}  // namespace fuzzsupport
