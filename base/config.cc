#include "base/config.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "base/fixed_paths.h"
#include "base/fixed_text.h"
#include "base/fs_root.h"
#include "base/read_bounds.h"
#include "base/regular_file.h"

char RIPPER[128];
char RIPDIR[256];
char STATIONSFILE[128];
char MYSTATIONSFILE[128];
char MYPLAYLISTFILE[128];
char MYGENREFILE[128];
char LUMOPIC[128];

namespace {

struct ConfigKey {
  const char* text;  // as it stands in the file, '=' included
  const char* name;  // for telling the user
  char* target;
  std::size_t width;
};

// Tested in this order on every line; note the favourites key is spelled
// without the S of its global.
const ConfigKey kKeys[] = {
    {"RIPPER=", "RIPPER", RIPPER, sizeof RIPPER},
    {"RIPDIR=", "RIPDIR", RIPDIR, sizeof RIPDIR},
    {"STATIONSFILE=", "STATIONSFILE", STATIONSFILE, sizeof STATIONSFILE},
    {"MYSTATIONFILE=", "MYSTATIONFILE", MYSTATIONSFILE, sizeof MYSTATIONSFILE},
    {"MYPLAYLISTFILE=", "MYPLAYLISTFILE", MYPLAYLISTFILE, sizeof MYPLAYLISTFILE},
    {"MYGENREFILE=", "MYGENREFILE", MYGENREFILE, sizeof MYGENREFILE},
    {"LUMOPIC=", "LUMOPIC", LUMOPIC, sizeof LUMOPIC},
};

// Lines are searched for keys in pieces of this many bytes, the way the
// reader's fixed line buffer sees them.
constexpr std::size_t kPieceBytes = 255;

std::vector<const char*> tooLongKeys;

void noteTooLong(const char* name, bool tooLong) {
  auto it = std::find(tooLongKeys.begin(), tooLongKeys.end(), name);
  if (tooLong && it == tooLongKeys.end())
    tooLongKeys.push_back(name);
  else if (!tooLong && it != tooLongKeys.end())
    tooLongKeys.erase(it);
}

void applyLine(std::string_view line) {
  for (std::size_t start = 0; start < line.size(); start += kPieceBytes) {
    std::string_view piece = line.substr(start, kPieceBytes);
    for (const ConfigKey& key : kKeys) {
      std::size_t at = piece.find(key.text);
      if (at == std::string_view::npos) continue;
      // The value runs to the end of the line, even past the piece.
      std::string_view value = oruvel::stripLineEnd(line.substr(start + at + std::strlen(key.text)));
      bool fits = value.size() < key.width;
      if (fits) oruvel::copyBounded(key.target, key.width, value);
      noteTooLong(key.name, !fits);
    }
  }
}

}  // namespace

int ReadConfFile() {
  std::FILE* file = oruvel::openRegularFile(oruvel::rootedPath(oruvel::paths::kConfigFile).c_str(), "r+");
  if (!file) return 1;
  tooLongKeys.clear();
  // A few lines of settings, each read whole; a file past the bound is not
  // one, and its rest is not looked at.
  oruvel::PieceReader reader(file, oruvel::bounds::kConfigBytes + 1, oruvel::bounds::kConfigBytes);
  std::string_view line;
  while (reader.next(line)) applyLine(line);
  std::fclose(file);
  return 0;
}

namespace oruvel {

const char* const* configTooLongKeys(int* count) {
  if (count) *count = static_cast<int>(tooLongKeys.size());
  return tooLongKeys.data();
}

}  // namespace oruvel
