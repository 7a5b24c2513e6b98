#pragma once
// What every fuzz target shares: one entry point around a body of its own,
// files below a private root, and checks that stop the run on the first
// broken promise.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/temp_root.h"

namespace fuzzsupport {

// The input whole, and split at its first byte: that byte picks an option,
// the rest is the text.
struct Input {
  Input(const std::uint8_t* data, std::size_t size)
      : all(reinterpret_cast<const char*>(data), size), choice(size ? data[0] : 0),
        text(all.substr(size ? 1 : 0)) {}
  std::string_view all;
  std::uint8_t choice;
  std::string_view text;
};

// A fixed path below a root of this process's own (made the filesystem
// root on first use, removed at exit).
std::string at(const char* fixedPath);
inline void writeFile(const std::string& path, std::string_view bytes) {
  testsupport::writeFile(path, std::string(bytes));
}

[[noreturn]] inline void fail(const char* what, const char* file, int line) {
  std::fprintf(stderr, "fuzz check failed: %s (%s:%d)\n", what, file, line);
  std::abort();
}

template <std::size_t N>
bool terminated(const char (&buf)[N]) {
  return std::memchr(buf, '\0', N) != nullptr;
}

// The words a POSIX shell makes of a line of blanks, plain words and
// single-quoted text; false when a character the shell treats specially
// stands outside quotes, for such a line could do more than run one program.
bool shellWords(std::string_view line, std::vector<std::string>& words);

// The Station list just read is whole, its fields terminated, and every
// key, on the list or off it, leads to a station of its own or an end.
void checkStationList();

}  // namespace fuzzsupport

// A check that holds in every build type.
#define FUZZ_CHECK(cond) ((cond) ? void() : ::fuzzsupport::fail(#cond, __FILE__, __LINE__))

// The target's body: FUZZ_TARGET(in) { ... } with in the Input.
#define FUZZ_TARGET(in)                                                                   \
  static void fuzzOne(const fuzzsupport::Input& in);                                      \
  extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {     \
    fuzzOne(fuzzsupport::Input(data, size));                                              \
    return 0;                                                                             \
  }                                                                                       \
  static void fuzzOne(const fuzzsupport::Input& in)
