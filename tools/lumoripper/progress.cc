#include "tools/lumoripper/progress.h"

#include "tools/lumoripper/file_names.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace ripper {

namespace {
constexpr std::size_t kMaxLine = 255;  // what the plug-in reads of the first line
}

std::string formatDuration(std::int64_t s) {
  if (s < 0) s = 0;
  char buf[32];
  if (s >= 3600)
    std::snprintf(buf, sizeof buf, "%lld:%02lld:%02lld", static_cast<long long>(s / 3600),
                  static_cast<long long>(s / 60 % 60), static_cast<long long>(s % 60));
  else
    std::snprintf(buf, sizeof buf, "%02lld:%02lld", static_cast<long long>(s / 60),
                  static_cast<long long>(s % 60));
  return buf;
}

std::string formatSize(std::uint64_t bytes) {
  char buf[32];
  const double kb = 1024.0, mb = kb * 1024, gb = mb * 1024;
  if (bytes < 1024 * 1024)
    std::snprintf(buf, sizeof buf, "%lluKB", static_cast<unsigned long long>(bytes / 1024));
  else if (bytes < 100 * 1024 * 1024ull)
    std::snprintf(buf, sizeof buf, "%.1fMB", bytes / mb);
  else if (bytes < 1024 * 1024 * 1024ull)
    std::snprintf(buf, sizeof buf, "%.0fMB", bytes / mb);
  else
    std::snprintf(buf, sizeof buf, "%.1fGB", bytes / gb);
  return buf;
}

std::string progressLine(const std::string& prefix, std::int64_t seconds, std::uint64_t bytes,
                         const std::string& title) {
  std::string line;
  if (!prefix.empty()) line = prefix + " ";
  line += formatDuration(seconds) + " " + formatSize(bytes);
  if (!title.empty()) line += " " + title;
  for (char& c : line)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = ' ';
  cutToBytes(line, kMaxLine);
  return line;
}

bool replaceFileAtomically(const std::string& path, const std::string& line) {
  std::string tmp = path + ".new" + std::to_string(::getpid());
  // A fresh private file, never one someone placed under the name (a link
  // to follow, a file of theirs): what is there is removed, not opened.
  int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0 && errno == EEXIST && ::unlink(tmp.c_str()) == 0)
    fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  std::size_t off = 0;
  bool ok = true;
  while (ok && off < line.size()) {
    ssize_t n = ::write(fd, line.data() + off, line.size() - off);
    if (n > 0) off += static_cast<std::size_t>(n);
    else if (n < 0 && errno == EINTR) continue;
    else ok = false;
  }
  ok = (::close(fd) == 0) && ok;
  if (ok && std::rename(tmp.c_str(), path.c_str()) == 0) return true;
  ::unlink(tmp.c_str());
  return false;
}

}  // namespace ripper
