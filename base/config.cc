#include "base/config.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "base/fixed_paths.h"
#include "base/fixed_text.h"
#include "base/piece_reader.h"
#include "base/fs_root.h"
#include "base/read_bounds.h"
#include "base/regular_file.h"

namespace {

using oruvel::Config;

struct ConfigKey {
  const char* text;  // as it stands in the file, '=' included
  const char* name;  // for telling the user
  char* (*field)(Config&);
  std::size_t width;
};

#define ORUVEL_CONFIG_FIELD(f) [](Config& c) { return c.f; }, sizeof Config::f
// Tested in this order on every line; note the favourites key is spelled
// without the S of its field.
const ConfigKey kKeys[] = {
    {"RIPPER=", "RIPPER", ORUVEL_CONFIG_FIELD(RIPPER)},
    {"RIPDIR=", "RIPDIR", ORUVEL_CONFIG_FIELD(RIPDIR)},
    {"STATIONSFILE=", "STATIONSFILE", ORUVEL_CONFIG_FIELD(STATIONSFILE)},
    {"MYSTATIONFILE=", "MYSTATIONFILE", ORUVEL_CONFIG_FIELD(MYSTATIONSFILE)},
    {"MYPLAYLISTFILE=", "MYPLAYLISTFILE", ORUVEL_CONFIG_FIELD(MYPLAYLISTFILE)},
    {"MYGENREFILE=", "MYGENREFILE", ORUVEL_CONFIG_FIELD(MYGENREFILE)},
    {"LUMOPIC=", "LUMOPIC", ORUVEL_CONFIG_FIELD(LUMOPIC)},
};
#undef ORUVEL_CONFIG_FIELD

// Lines are searched for keys in pieces of this many bytes, the way the
// reader's fixed line buffer sees them.
constexpr std::size_t kPieceBytes = 255;

void noteTooLong(std::vector<const char*>& tooLongKeys, const char* name, bool tooLong) {
  auto it = std::find(tooLongKeys.begin(), tooLongKeys.end(), name);
  if (tooLong && it == tooLongKeys.end())
    tooLongKeys.push_back(name);
  else if (!tooLong && it != tooLongKeys.end())
    tooLongKeys.erase(it);
}

void applyLine(Config& config, std::string_view line) {
  for (std::size_t start = 0; start < line.size(); start += kPieceBytes) {
    std::string_view piece = line.substr(start, kPieceBytes);
    for (const ConfigKey& key : kKeys) {
      std::size_t at = piece.find(key.text);
      if (at == std::string_view::npos) continue;
      // The value runs to the end of the line, even past the piece.
      std::string_view value = oruvel::stripLineEnd(line.substr(start + at + std::strlen(key.text)));
      bool fits = value.size() < key.width;
      if (fits) oruvel::copyBounded(key.field(config), key.width, value);
      noteTooLong(config.tooLongKeys, key.name, !fits);
    }
  }
}

}  // namespace

int ReadConfFile(Config& config) {
  std::FILE* file = oruvel::openRegularFile(oruvel::rootedPath(oruvel::paths::kConfigFile).c_str(), "r+");
  if (!file) return 1;
  config.tooLongKeys.clear();
  // A few lines of settings, each read whole; a file past the bound is not
  // one, and its rest is not looked at.
  oruvel::PieceReader reader(file, oruvel::bounds::kConfigBytes + 1, oruvel::bounds::kConfigBytes);
  std::string_view line;
  while (reader.next(line)) applyLine(config, line);
  std::fclose(file);
  return 0;
}
