// The ripper's file names: any title or station text gives a name that is one
// file inside the folder, fits its length (the first byte picks it), keeps
// whole UTF-8 characters, and can really be created.
#include <sys/stat.h>
#include <unistd.h>

#include "tests/fuzz/fuzz_support.h"
#include "tools/lumoripper/file_names.h"

// True when `s` holds only whole UTF-8 sequences (overlong forms allowed).
static bool wholeUtf8(std::string_view s) {
  for (std::size_t i = 0, len; i < s.size(); i += len) {
    const unsigned char c = s[i];
    len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (len == 0 || i + len > s.size()) return false;
    for (std::size_t k = 1; k < len; ++k) if ((s[i + k] & 0xC0) != 0x80) return false;
  }
  return true;
}

FUZZ_TARGET(in) {
  const std::size_t maxBytes = std::min<std::size_t>(in.choice ? in.choice : ripper::kMaxNameBytes, ripper::kMaxNameBytes);
  const std::string name = ripper::safeName(in.text, maxBytes), ext = ripper::extensionFor(in.text);
  FUZZ_CHECK(name.size() <= maxBytes && name.find("  ") == std::string::npos);
  for (unsigned char c : name) FUZZ_CHECK(c >= 0x20 && c != 0x7f && c != '/' && c != '\\');
  FUZZ_CHECK(name.empty() || (name.front() != '.' && name.front() != ' ' && name.back() != '.' && name.back() != ' '));
  FUZZ_CHECK(!wholeUtf8(in.text) || wholeUtf8(name));
  FUZZ_CHECK(ripper::hostOf(in.text).size() <= in.text.size() && ext.size() >= 4 && ext[0] == '.');
  // The name really is one file in the folder.
  static const std::string dir = fuzzsupport::at("/music");
  static const bool made = ::mkdir(dir.c_str(), 0755) == 0;
  FUZZ_CHECK(made);
  std::string path;
  if (name.empty()) return;
  const int fd = ripper::createUnique(dir, name, ext, path);
  FUZZ_CHECK(fd >= 0 && path == dir + "/" + name + ext && ::close(fd) == 0 && ::unlink(path.c_str()) == 0);
}
