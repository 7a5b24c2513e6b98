#pragma once
// What every fuzz target shares: one entry point around a body of its own,
// files below a private root, and checks that stop the run at once.
#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <utility>
#include <vector>

#include "base/fs_root.h"
#include "directory/station_list.h"
#include "tests/support/temp_root.h"

#define FUZZ_CHECK(cond) \
  ((cond) ? void() : (std::fprintf(stderr, "fuzz check failed: %s (%s:%d)\n", #cond, __FILE__, __LINE__), std::abort()))

// The target's body: FUZZ_TARGET(in) { ... } with `in` the input whole (all),
// its first byte, which picks an option (choice), and the rest (text).
#define FUZZ_TARGET(in)                                                               \
  static void fuzzOne(const fuzzsupport::Input& in);                                  \
  extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) { \
    const std::string_view all(reinterpret_cast<const char*>(data), size);            \
    fuzzOne({all, size ? data[0] : std::uint8_t{0}, all.substr(size ? 1 : 0)});       \
    return 0;                                                                         \
  }                                                                                   \
  static void fuzzOne(const fuzzsupport::Input& in)

namespace fuzzsupport {

struct Input { std::string_view all; std::uint8_t choice; std::string_view text; };

// A fixed path below a root of this process's own, made the filesystem root on first use.
inline std::string at(const char* fixedPath) {
  static const struct Root : testsupport::TempRoot {
    Root() { oruvel::setFsRoot(path()); }
  } root;
  return root.at(fixedPath);
}

inline void writeFile(const std::string& path, std::string_view bytes) { testsupport::writeFile(path, std::string(bytes)); }

template <std::size_t N>
bool terminated(const char (&buf)[N]) { return std::memchr(buf, '\0', N) != nullptr; }
// A text of a list's store: terminated within its limit of bytes.
inline bool within(const char* text, std::size_t limit) { return text && strnlen(text, limit + 1) <= limit; }

// The words a POSIX shell makes of blanks, plain words and single-quoted text;
// false when a character special to the shell stands outside quotes.
inline bool shellWords(std::string_view line, std::vector<std::string>& words) {
  words.clear();
  std::string word;
  bool inWord = false;
  for (std::size_t i = 0; i <= line.size(); ++i) {
    const char c = i < line.size() ? line[i] : ' ';  // a blank ends the last word
    if (c == ' ' || c == '\t') {
      if (std::exchange(inWord, false)) words.push_back(std::exchange(word, {}));
      continue;
    }
    inWord = true;
    if (c == '\'') {
      const std::size_t end = line.find('\'', i + 1);
      if (end == std::string_view::npos) return false;
      word.append(line.substr(i + 1, end - i - 1));
      i = end;
    } else if (c == '\\' && i + 1 < line.size() && line[i + 1] != '\n') {
      word += line[++i];
    } else if (c == '\0' || !(std::isalnum(static_cast<unsigned char>(c)) || std::strchr("/._-,+:@", c))) {
      return false;
    } else {
      word += c;
    }
  }
  return true;
}

// The Station list just read is whole, its fields terminated, and every
// key, on the list or off it, leads to a station of its own or an end.
inline void checkStationList(oruvel::StationList& list) {
  const std::vector<StationNode*>& byKey = list.stationsInKeyOrder();
  FUZZ_CHECK(list.read_error == 0 && static_cast<int>(byKey.size()) == list.AnzahlNETElemente);
  int nodes = 0;
  for (StationNode* n = list.net_ende; n; n = n->next)
    FUZZ_CHECK(within(n->name, n->kNameBytes) && within(n->genre, n->kGenreBytes) && within(n->id, n->kIdBytes) &&
               within(n->bitrate, n->kBitrateBytes) && ++nodes <= list.AnzahlNETElemente);
  FUZZ_CHECK(nodes == list.AnzahlNETElemente);
  // Keys below 1 stop at the first station, keys above the last at the last.
  std::vector<int> keys = {INT_MIN, -5, 0, list.AnzahlNETElemente + 1, INT_MAX};
  for (int key = 1; key <= list.AnzahlNETElemente; ++key) keys.push_back(key);
  for (int key : keys) {
    list.NET_Element_ermitteln(key, list.AnzahlNETElemente);
    FUZZ_CHECK(list.net_anker == (key > list.AnzahlNETElemente ? list.net_ende : key >= 1 ? byKey[key - 1]
                             : byKey.empty() ? nullptr : byKey.front()));
  }
}

}  // namespace fuzzsupport
