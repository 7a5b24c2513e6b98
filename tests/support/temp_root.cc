#include "tests/support/temp_root.h"

#include <cstddef>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ORUVEL_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define ORUVEL_ASAN 1
#endif
#ifndef ORUVEL_ASAN
#define ORUVEL_ASAN 0
#endif
#if ORUVEL_ASAN
// The sanitizer's own count: its allocator is not malloc's.
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#else
#include <malloc.h>
#endif

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace testsupport {

TempRoot::TempRoot() : path_((fs::temp_directory_path() / "oruvel-test-XXXXXX").string()) {
  if (!mkdtemp(path_.data())) throw std::runtime_error("mkdtemp failed");
  for (const char* d : {"/tmp", "/var/tuxbox/config/oruvel", "/dev/dbox"}) fs::create_directories(path_ + d);
}

TempRoot::~TempRoot() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

void TempRoot::write(const std::string& fixedPath, const std::string& content) const {
  writeFile(at(fixedPath), content);
}
std::string TempRoot::read(const std::string& fixedPath) const { return readFile(at(fixedPath)); }
bool TempRoot::exists(const std::string& fixedPath) const { return fs::exists(at(fixedPath)); }

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void writeFile(const std::string& path, const std::string& content) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
}

long openDescriptors() {
  return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {});
}

std::size_t heapInUse() {
#if ORUVEL_ASAN
  return __sanitizer_get_current_allocated_bytes();
#else
  return mallinfo2().uordblks;
#endif
}

}  // namespace testsupport
