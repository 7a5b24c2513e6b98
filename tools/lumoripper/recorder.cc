#include "tools/lumoripper/recorder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "tools/lumoripper/file_names.h"

namespace ripper {

Recorder::Recorder(std::string dir, std::string fallbackStation)
    : dir_(std::move(dir)), fallbackStation_(std::move(fallbackStation)) {}

Recorder::~Recorder() { finish(); }

std::int64_t Recorder::trackSeconds() const {
  auto since = track_.fd >= 0 ? track_.started : heldSince_;
  if (track_.fd < 0 && held_.empty()) return 0;
  return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - since).count();
}

bool Recorder::fail(const std::string& what) {
  error_ = what + ": " + std::strerror(errno);
  return false;
}

std::string Recorder::timedName() const {
  char when[32];
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  std::strftime(when, sizeof when, "%Y-%m-%d %H-%M-%S", &local);
  return safeName(station_ + " " + when);
}

bool Recorder::headers(const icy::StreamInfo& info) {
  if (haveHeaders_) {
    // A reconnect: what is being recorded now has a gap, and the next
    // title may name a song whose start was missed.
    track_.wholeFromStart = false;
    resumed_ = true;
    return true;
  }
  haveHeaders_ = true;
  station_ = safeName(info.name);
  if (station_.empty()) station_ = safeName(fallbackStation_);
  if (station_.empty()) station_ = "stream";
  ext_ = extensionFor(info.contentType);
  metadata_ = info.metaint > 0;
  stationDir_ = dir_ + "/" + station_;
  struct stat st;
  if (::mkdir(stationDir_.c_str(), 0755) != 0 &&
      (errno != EEXIST || ::stat(stationDir_.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))) {
    if (errno == EEXIST || errno == 0) errno = ENOTDIR;
    return fail("cannot create the folder " + stationDir_);
  }
  if (!metadata_) return openTrack(timedName(), false, true);
  return true;
}

bool Recorder::openTrack(const std::string& base, bool markPartial, bool wholeFromStart) {
  track_ = Track{};
  track_.base = base;
  track_.markPartial = markPartial;
  track_.wholeFromStart = wholeFromStart;
  track_.started = held_.empty() ? std::chrono::steady_clock::now() : heldSince_;
  track_.fd = createUnique(stationDir_, markPartial ? base + " (partial)" : base, ext_, track_.path);
  if (track_.fd < 0) return fail("cannot create a file in " + stationDir_);
  std::string held;
  held.swap(held_);
  return writeAll(held.data(), held.size());
}

bool Recorder::closeTrack(bool complete) {
  if (track_.fd < 0) return true;
  bool ok = ::fdatasync(track_.fd) == 0 || errno == EINVAL || errno == EROFS;
  if (!ok) fail("cannot write " + track_.path);
  if (::close(track_.fd) != 0 && ok) ok = fail("cannot write " + track_.path);
  track_.fd = -1;
  if (ok && complete && track_.markPartial && track_.wholeFromStart) {
    if (renameUnique(track_.path, stationDir_, track_.base, ext_).empty())
      ok = fail("cannot rename " + track_.path);
  }
  return ok;
}

bool Recorder::writeAll(const char* data, std::size_t len) {
  while (len > 0) {
    ssize_t n = ::write(track_.fd, data, len);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = ENOSPC;
      return fail("cannot write " + track_.path);
    }
    data += n;
    len -= static_cast<std::size_t>(n);
    track_.bytes += static_cast<std::uint64_t>(n);
    total_ += static_cast<std::uint64_t>(n);
  }
  return true;
}

bool Recorder::audio(const char* data, std::size_t len) {
  if (!haveHeaders_ || len == 0) return true;
  if (track_.fd >= 0) return writeAll(data, len);
  if (held_.empty()) heldSince_ = std::chrono::steady_clock::now();
  held_.append(data, len);
  // No title after all this: the untitled start gets a file of its own.
  if (held_.size() > kMaxHeld) return openTrack(timedName(), true, false);
  return true;
}

bool Recorder::title(const std::string& raw) {
  if (!haveHeaders_ || !metadata_) return true;
  std::string name = safeName(raw);
  if (sawTitle_ && name == currentTitle_ && track_.fd >= 0) {
    resumed_ = false;  // the same song goes on after a reconnect
    return true;
  }
  bool midSong = !sawTitle_ || resumed_;
  sawTitle_ = true;
  resumed_ = false;
  currentTitle_ = name;
  bool ok = closeTrack(true);
  // The first title (of the run or after a reconnect) names a song already under way.
  ok = openTrack(name.empty() ? timedName() : name, true, !midSong) && ok;
  return ok;
}

bool Recorder::finish() {
  bool ok = true;
  if (!held_.empty() && track_.fd < 0 && haveHeaders_)
    ok = openTrack(sawTitle_ && !currentTitle_.empty() ? currentTitle_ : timedName(), true, false);
  return closeTrack(false) && ok;
}

}  // namespace ripper
