#include "tests/fuzz/fuzz_support.h"

#include <fcntl.h>
#include <unistd.h>

#include <cctype>
#include <filesystem>
#include <stdexcept>

#include "plugin/fs_root.h"

namespace fuzzsupport {

namespace {

std::string makeRoot() {
  // In memory where the machine has it: every input is written to a file.
  std::string tmpl = access("/dev/shm", W_OK) == 0 ? "/dev/shm/oruvel-fuzz-XXXXXX" : "/tmp/oruvel-fuzz-XXXXXX";
  if (!mkdtemp(tmpl.data())) {
    std::perror("mkdtemp");
    std::abort();
  }
  const std::string& dir = tmpl;  // mkdtemp filled in the X-es in place
  std::filesystem::create_directories(dir + "/tmp");
  std::filesystem::create_directories(dir + "/var/tuxbox/config/oruvel");
  oruvel::setFsRoot(dir);
  return dir;
}

// Never destroyed, so the removal at exit still finds it.
const std::string* rootDir = nullptr;

}  // namespace

const std::string& root() {
  if (!rootDir) {
    rootDir = new std::string(makeRoot());
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(*rootDir, ec);
    });
  }
  return *rootDir;
}

std::string at(const char* fixedPath) { return root() + fixedPath; }

void writeFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    std::perror(path.c_str());
    std::abort();
  }
  std::size_t off = 0;
  while (off < size) {
    ssize_t n = ::write(fd, data + off, size - off);
    if (n <= 0) {
      std::perror(path.c_str());
      std::abort();
    }
    off += static_cast<std::size_t>(n);
  }
  ::close(fd);
}

void writeFile(const std::string& path, std::string_view text) {
  writeFile(path, reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

}  // namespace fuzzsupport

namespace fuzzsupport {

bool shellWords(std::string_view line, std::vector<std::string>& words) {
  words.clear();
  std::string word;
  bool inWord = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    char c = line[i];
    if (c == ' ' || c == '\t') {
      if (inWord) words.push_back(word);
      word.clear();
      inWord = false;
    } else if (c == '\'') {
      std::size_t end = line.find('\'', i + 1);
      if (end == std::string_view::npos) return false;
      word.append(line.substr(i + 1, end - i - 1));
      inWord = true;
      i = end;
    } else if (c == '\\') {
      if (i + 1 >= line.size() || line[i + 1] == '\n') return false;
      word += line[++i];
      inWord = true;
    } else if (c == '\0' || !(std::isalnum(static_cast<unsigned char>(c)) || std::strchr("/._-,+:@", c))) {
      // Unquoted, only characters that mean nothing to the shell.
      return false;
    } else {
      word += c;
      inWord = true;
    }
  }
  if (inWord) words.push_back(word);
  return true;
}

}  // namespace fuzzsupport
