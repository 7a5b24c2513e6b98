#include "tools/lumoripper/recorder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "tools/icy/title_text.h"
#include "tools/lumoripper/file_names.h"

namespace ripper {
namespace {

const std::uint8_t* bytesOf(const std::string& s) { return reinterpret_cast<const std::uint8_t*>(s.data()); }

}  // namespace

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

bool Recorder::ogg() const {
  return format_ == icy::StreamFormat::OggVorbis || format_ == icy::StreamFormat::OggOpus ||
         format_ == icy::StreamFormat::OggOther;
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
    cut_.wholeFromStart = false;
    resumed_ = true;
    skipStreamStart_ = true;
    return true;
  }
  haveHeaders_ = true;
  station_ = safeName(icy::titleToUtf8(info.name));
  if (station_.empty()) station_ = safeName(fallbackStation_);
  if (station_.empty()) station_ = "stream";
  contentType_ = info.contentType;
  metadata_ = info.metaint > 0;
  stationDir_ = dir_ + "/" + station_;
  struct stat st;
  if (::mkdir(stationDir_.c_str(), 0755) != 0 &&
      (errno != EEXIST || ::stat(stationDir_.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))) {
    if (errno == EEXIST || errno == 0) errno = ENOTDIR;
    return fail("cannot create the folder " + stationDir_);
  }
  return true;
}

bool Recorder::openTrack(const std::string& base, bool markPartial, bool wholeFromStart) {
  if (!formatKnown_) {
    // Judged once, on what came first: the bytes win over the content type.
    formatKnown_ = true;
    format_ = icy::detectFormat(contentType_, bytesOf(held_), held_.size());
    ext_ = format_ == icy::StreamFormat::Unknown ? extensionFor(contentType_) : icy::fileExtension(format_);
  }
  track_ = Track{};
  track_.base = base;
  track_.markPartial = markPartial;
  track_.wholeFromStart = wholeFromStart;
  track_.started = held_.empty() ? std::chrono::steady_clock::now() : heldSince_;
  oggCarry_.clear();
  track_.fd = createUnique(stationDir_, markPartial ? base + " (partial)" : base, ext_, track_.path);
  if (track_.fd < 0) return fail("cannot create a file in " + stationDir_);
  std::string held;
  held.swap(held_);
  return writeAll(held.data(), held.size());
}

bool Recorder::closeTrack(bool complete) {
  if (track_.fd < 0) return true;
  bool ok = flush();
  ok = ok && (::fdatasync(track_.fd) == 0 || errno == EINVAL || errno == EROFS || fail("cannot write " + track_.path));
  if (::close(track_.fd) != 0 && ok) ok = fail("cannot write " + track_.path);
  track_.fd = -1;
  if (ok && complete && track_.markPartial && track_.wholeFromStart) {
    if (renameUnique(track_.path, stationDir_, track_.base, ext_).empty())
      ok = fail("cannot rename " + track_.path);
  }
  return ok;
}

void Recorder::noteStreamStarts(const char* data, std::size_t len) {
  auto seen = [&](std::uint64_t offset) {
    if (offset == 0) return;  // the file's own start
    if (skipStreamStart_) skipStreamStart_ = false;
    else track_.lastStreamStart = offset;
  };
  // A page header split across two writes: the carry holds the last bytes before.
  std::string window = oggCarry_;
  window.append(data, len < 5 ? len : 5);
  const std::uint64_t carryAt = track_.bytes - oggCarry_.size();
  for (std::size_t at = 0; at < oggCarry_.size(); ++at)
    if (icy::isOggStreamStart(bytesOf(window) + at, window.size() - at)) seen(carryAt + at);
  const auto* d = reinterpret_cast<const std::uint8_t*>(data);
  for (std::size_t at = 0; at < len;) {
    std::size_t next = icy::nextBoundary(format_, d + at, len - at);
    if (next == icy::kNoBoundary) break;
    seen(track_.bytes + at + next);
    at += next + 1;
  }
  oggCarry_.append(data + (len > 5 ? len - 5 : 0), len > 5 ? 5 : len);
  if (oggCarry_.size() > 5) oggCarry_.erase(0, oggCarry_.size() - 5);
}

bool Recorder::writeAll(const char* data, std::size_t len) {
  if (len == 0) return true;
  if (ogg()) noteStreamStarts(data, len);
  gathered_.append(data, len);
  track_.bytes += len;
  total_ += len;
  return gathered_.size() < kWriteBatch || flush();
}

bool Recorder::flush() {
  const char* data = gathered_.data();
  std::size_t len = gathered_.size();
  while (len > 0 && track_.fd >= 0) {
    ssize_t n = ::write(track_.fd, data, len);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = ENOSPC;
      gathered_.clear();
      return fail("cannot write " + track_.path);
    }
    data += n;
    len -= static_cast<std::size_t>(n);
  }
  gathered_.clear();
  return true;
}

bool Recorder::audio(const char* data, std::size_t len) {
  if (!haveHeaders_ || len == 0) return true;
  if (cut_.pending) {
    cut_.bytes.append(data, len);
    return tryCut(false);
  }
  if (track_.fd >= 0) return writeAll(data, len);
  if (held_.empty()) heldSince_ = std::chrono::steady_clock::now();
  held_.append(data, len);
  // A stream without titles: one file, once its format shows.
  if (!metadata_) return held_.size() < kSniffBytes || openTrack(timedName(), false, true);
  // No title after all this: the untitled start gets a file of its own.
  if (held_.size() > kMaxHeld) return openTrack(timedName(), true, false);
  return true;
}

bool Recorder::title(const std::string& raw) {
  if (!haveHeaders_ || !metadata_) return true;
  if (sawTitle_ && raw == currentRaw_ && (track_.fd >= 0 || cut_.pending)) {
    resumed_ = false;  // the same song goes on after a reconnect
    return true;
  }
  // The first title (of the run or after a reconnect) names a song already under way.
  bool midSong = !sawTitle_ || resumed_;
  sawTitle_ = true;
  resumed_ = false;
  currentRaw_ = raw;
  std::string name = safeName(icy::titleToUtf8(raw));
  if (name.empty()) name = timedName();
  if (track_.fd < 0) return openTrack(name, true, !midSong);
  return beginCut(name, !midSong);
}

bool Recorder::beginCut(const std::string& base, bool wholeFromStart) {
  // A title that follows another before its boundary showed: the earlier
  // one takes effect where it came.
  bool ok = !cut_.pending || cutAt(0);
  cut_.pending = true;
  cut_.base = base;
  cut_.wholeFromStart = wholeFromStart;
  cut_.bytes.clear();
  if (!ok) return false;
  if (ogg() && track_.lastStreamStart > 0) return cutBackToStreamStart();
  if (format_ == icy::StreamFormat::Unknown) return cutAt(0);
  return true;
}

bool Recorder::tryCut(bool final) {
  std::size_t at = icy::nextBoundary(format_, bytesOf(cut_.bytes), cut_.bytes.size());
  if (at != icy::kNoBoundary) return cutAt(at);
  if (final || cut_.bytes.size() >= kCutSearch) return cutAt(0);
  return true;
}

bool Recorder::cutAt(std::size_t at) {
  std::string bytes;
  bytes.swap(cut_.bytes);
  cut_.pending = false;
  bool ok = writeAll(bytes.data(), at);
  ok = closeTrack(true) && ok;
  held_.assign(bytes, at, std::string::npos);
  heldSince_ = std::chrono::steady_clock::now();
  return openTrack(cut_.base, true, cut_.wholeFromStart) && ok;
}

bool Recorder::cutBackToStreamStart() {
  // The new logical stream began shortly before its title: it moves, with
  // its headers, from the end of the old file into the new one.
  if (!flush()) return false;
  const std::uint64_t from = track_.lastStreamStart, size = track_.bytes;
  std::string tail(static_cast<std::size_t>(size - from), '\0');
  ssize_t n = ::pread(track_.fd, tail.data(), tail.size(), static_cast<off_t>(from));
  if (n != static_cast<ssize_t>(tail.size()) || ::ftruncate(track_.fd, static_cast<off_t>(from)) != 0)
    return fail("cannot cut " + track_.path);
  track_.bytes = from;
  total_ -= tail.size();
  cut_.bytes = tail + cut_.bytes;
  return cutAt(0);
}

bool Recorder::finish() {
  bool ok = true;
  if (cut_.pending) ok = tryCut(true);
  if (!held_.empty() && track_.fd < 0 && haveHeaders_) {
    ok = openTrack(timedName(), metadata_, !metadata_) && ok;
  }
  return closeTrack(false) && ok;
}

}  // namespace ripper
