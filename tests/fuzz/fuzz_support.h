#pragma once
// What every fuzz target shares: a private filesystem root for the files a
// reader opens, and checks that stop the run on the first broken promise.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace fuzzsupport {

// A folder of its own, made the filesystem root (ORUVEL_ROOT) on first use,
// with the tmp/ and configuration folders the fixed paths need. It is
// removed when the process ends.
const std::string& root();

// root() + fixedPath.
std::string at(const char* fixedPath);

// Replaces the file at `path` with the given bytes.
void writeFile(const std::string& path, const std::uint8_t* data, std::size_t size);
void writeFile(const std::string& path, std::string_view text);

[[noreturn]] inline void fail(const char* what, const char* file, int line) {
  std::fprintf(stderr, "fuzz check failed: %s (%s:%d)\n", what, file, line);
  std::abort();
}

// A check that holds in every build type.
#define FUZZ_CHECK(cond) \
  do {                   \
    if (!(cond)) ::fuzzsupport::fail(#cond, __FILE__, __LINE__); \
  } while (0)

// A fixed buffer that still holds its terminating NUL.
template <std::size_t N>
bool terminated(const char (&buf)[N]) {
  return std::memchr(buf, '\0', N) != nullptr;
}

// The input split at its first byte: that byte picks an option, the rest
// is the text.
struct Split {
  std::uint8_t choice = 0;
  std::string_view text;
};
inline Split splitFirst(const std::uint8_t* data, std::size_t size) {
  Split s;
  if (size == 0) return s;
  s.choice = data[0];
  s.text = std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1);
  return s;
}

}  // namespace fuzzsupport

namespace fuzzsupport {

// The words a POSIX shell makes of a command line built only from blanks,
// plain words and single-quoted text (with '\'' for a quote). Any other
// character the shell treats specially, met outside quotes, makes it
// return false: such a line could do more than run one program.
bool shellWords(std::string_view line, std::vector<std::string>& words);

}  // namespace fuzzsupport
