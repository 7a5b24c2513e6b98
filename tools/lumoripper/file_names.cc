#include "tools/lumoripper/file_names.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>

#include "tools/icy/stream_format.h"

namespace ripper {
namespace {

constexpr int kMaxVariants = 999;

// The n-th name tried: base, base (2) ... base (999); then the local date
// and time join the name, so a station repeating one jingle for weeks never
// runs out of names: base 2026-01-31 23-59-59, then its own (2), (3) ...
std::string variant(const std::string& dir, const std::string& base, const std::string& ext, int n) {
  std::string name = base;
  if (n > kMaxVariants) {
    name += localTime(" %Y-%m-%d %H-%M-%S");
    n -= kMaxVariants;
  }
  if (n > 1) name += " (" + std::to_string(n) + ")";
  return dir + "/" + name + ext;
}

}  // namespace

std::string localTime(const char* format) {
  char text[64];
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return std::strftime(text, sizeof text, format, &local) ? text : "";
}

void cutToBytes(std::string& text, std::size_t maxBytes) {
  if (text.size() <= maxBytes) return;
  std::size_t cut = maxBytes;
  // Step back over continuation bytes to the start of the cut character.
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  text.resize(cut);
}

std::string safeName(std::string_view text, std::size_t maxBytes) {
  std::string out;
  for (char ch : text) {
    unsigned char c = static_cast<unsigned char>(ch);
    if (c < 0x20 || c == 0x7f) c = ' ';
    switch (c) {
      case '/': case '\\': case ':': case '*': case '?': case '"': case '<': case '>': case '|':
        c = '-';
        break;
      default:
        break;
    }
    if (c == ' ' && (out.empty() || out.back() == ' ')) continue;
    if ((c == '.' || c == ' ') && out.empty()) continue;
    out += static_cast<char>(c);
  }
  cutToBytes(out, maxBytes);
  while (!out.empty() && (out.back() == ' ' || out.back() == '.')) out.pop_back();
  return out;
}

std::string extensionFor(std::string_view type) {
  icy::StreamFormat format = icy::formatFromContentType(type);
  if (format != icy::StreamFormat::Unknown) return icy::fileExtension(format);
  if (type == "audio/flac" || type == "audio/x-flac") return ".flac";
  return ".bin";
}

std::string hostOf(std::string_view url) {
  std::size_t scheme = url.find("://");
  if (scheme == std::string_view::npos) return "";
  std::string_view rest = url.substr(scheme + 3);
  rest = rest.substr(0, rest.find_first_of("/?#"));
  std::size_t at = rest.rfind('@');
  if (at != std::string_view::npos) rest.remove_prefix(at + 1);
  if (!rest.empty() && rest.front() == '[') {  // [v6 address]:port
    std::size_t close = rest.find(']');
    return std::string(rest.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
  }
  return std::string(rest.substr(0, rest.find(':')));
}

int createUnique(const std::string& dir, const std::string& base, const std::string& ext,
                 std::string& path) {
  for (int n = 1; n <= 2 * kMaxVariants; ++n) {
    path = variant(dir, base, ext, n);
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}

std::string renameUnique(const std::string& from, const std::string& dir, const std::string& base,
                         const std::string& ext) {
  for (int n = 1; n <= 2 * kMaxVariants; ++n) {
    std::string to = variant(dir, base, ext, n);
    if (to == from) return to;
    // A hard link never replaces an existing name; the old name goes after.
    if (::link(from.c_str(), to.c_str()) == 0) {
      ::unlink(from.c_str());
      return to;
    }
    if (errno == EEXIST) continue;
    // File systems without hard links: check, then rename.
    // ENOTSUP and EOPNOTSUPP are one value on Linux, two elsewhere.
    if (errno == EPERM || errno == ENOTSUP || errno == EOPNOTSUPP || errno == EMLINK) {  // NOLINT(misc-redundant-expression)
      struct stat st;
      if (::lstat(to.c_str(), &st) == 0) continue;
      if (std::rename(from.c_str(), to.c_str()) == 0) return to;
    }
    return "";
  }
  errno = EEXIST;
  return "";
}

}  // namespace ripper
