#include "base/shell.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace oruvel {

std::string shellQuote(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 2);
  out += '\'';
  for (char c : text) {
    if (c == '\'')
      out += "'\\''";
    else
      out += c;
  }
  out += '\'';
  return out;
}

std::string urlEncode(std::string_view text) {
  static const char hex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size());
  for (unsigned char c : text) {
    bool unreserved = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                      (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' || c == '~';
    if (unreserved) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out;
}

int runShell(const std::string& command) { return std::system(command.c_str()); }

int runShellInto(const std::string& command, const std::string& path) {
  std::string fresh = path + ".XXXXXX";
  int fd = ::mkstemp(fresh.data());
  if (fd < 0) {
    ::unlink(path.c_str());
    return -1;
  }
  ::close(fd);
  int status = runShell("{ " + command + "\n} >" + shellQuote(fresh));
  // rename() replaces whatever name sits at `path` (a link included).
  if (std::rename(fresh.c_str(), path.c_str()) != 0) {
    ::unlink(fresh.c_str());
    ::unlink(path.c_str());
  }
  return status;
}

std::string shellOutput(const std::string& command, std::size_t maxBytes) {
  std::string out;
  std::FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return out;
  char buf[256];
  std::size_t n;
  while (out.size() < maxBytes &&
         (n = std::fread(buf, 1, std::min(sizeof buf, maxBytes - out.size()), pipe)) > 0)
    out.append(buf, n);
  ::pclose(pipe);
  return out;
}

}  // namespace oruvel
