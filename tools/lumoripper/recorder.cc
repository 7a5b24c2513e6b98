#include "tools/lumoripper/recorder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "tools/icy/title_text.h"
#include "tools/lumoripper/file_names.h"
#include "tools/lumoripper/id3_tag.h"

namespace ripper {
namespace {

const std::uint8_t* bytesOf(const std::string& s) { return reinterpret_cast<const std::uint8_t*>(s.data()); }

}  // namespace

Recorder::Recorder(std::string dir, std::string fallbackStation, WriteFn write)
    : dir_(std::move(dir)), fallbackStation_(std::move(fallbackStation)), write_(write) {}

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

bool Recorder::ogg() const { return icy::isOgg(format_); }

std::string Recorder::timedName() const {
  return safeName(station_ + " " + localTime("%Y-%m-%d %H-%M-%S"));
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
  stationTitle_ = icy::titleToUtf8(info.name);
  station_ = safeName(stationTitle_);
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

bool Recorder::openTrack(const Next& next, bool markPartial, const std::string& ext) {
  if (!formatKnown_) {
    // Judged once, on what came first: the bytes win over the content type.
    formatKnown_ = true;
    format_ = icy::detectFormat(contentType_, bytesOf(held_), held_.size());
    ext_ = format_ == icy::StreamFormat::Unknown ? extensionFor(contentType_) : icy::fileExtension(format_);
  }
  track_ = Track{};
  track_.base = next.base;
  track_.ext = ext.empty() ? ext_ : ext;
  track_.markPartial = markPartial;
  track_.wholeFromStart = next.wholeFromStart;
  track_.started = held_.empty() ? std::chrono::steady_clock::now() : heldSince_;
  track_.fd = createUnique(stationDir_, markPartial ? next.base + " (partial)" : next.base, track_.ext, track_.path);
  if (track_.fd < 0) return fail("cannot create a file in " + stationDir_);
  const TrackTags tags = tagsFor(next.title, stationTitle_);
  if (format_ == icy::StreamFormat::Mp3 || format_ == icy::StreamFormat::Aac) gathered_ = id3Tag(tags);
  if (ogg()) track_.oggTags.emplace(tags);
  std::string held;
  held.swap(held_);
  return writeAll(held.data(), held.size());
}

bool Recorder::closeTrack(bool complete) {
  if (track_.fd < 0) return true;
  if (track_.oggTags) track_.oggTags->finish(gathered_);
  bool ok = flush();
  ok = ok && (::fdatasync(track_.fd) == 0 || errno == EINVAL || errno == EROFS || fail("cannot write " + track_.path));
  if (::close(track_.fd) != 0 && ok) ok = fail("cannot write " + track_.path);
  track_.fd = -1;
  if (ok && complete && track_.markPartial && track_.wholeFromStart) {
    if (renameUnique(track_.path, stationDir_, track_.base, track_.ext).empty())
      ok = fail("cannot rename " + track_.path);
  }
  return ok;
}

bool Recorder::writeAll(const char* data, std::size_t len) {
  if (len == 0) return true;
  track_.bytes += len;
  total_ += len;
  if (!ogg()) {
    gathered_.append(data, len);
    return gathered_.size() < kWriteBatch || flush();
  }
  std::vector<ogg::PageSplitter::Piece> pieces;
  oggSplitter_.feed(data, len, pieces);
  for (auto& piece : pieces)
    if (!queueOgg(std::move(piece))) return false;
  return true;
}

bool Recorder::out(const std::string& bytes) {
  gathered_ += bytes;
  return gathered_.size() < kWriteBatch || flush();
}

bool Recorder::flush() {
  const char* data = gathered_.data();
  std::size_t len = gathered_.size();
  while (len > 0 && track_.fd >= 0) {
    ssize_t n = write_(track_.fd, data, len);
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

bool Recorder::queueOgg(ogg::PageSplitter::Piece piece) {
  OggPiece queued{std::move(piece.bytes), piece.page};
  if (queued.page && (ogg::flagsOf(queued.bytes) & ogg::kFirstPage)) {
    oggHeaders_.emplace(queued.bytes);
    queued.header = true;
    // A reconnect's stream starts again with its headers: no new track.
    queued.streamStart = !skipStreamStart_;
    skipStreamStart_ = false;
  } else if (queued.page && oggHeaders_) {
    queued.header = oggHeaders_->add(queued.bytes);
  }
  oggQueue_.push_back(std::move(queued));
  if (cut_.pending) return tryOggCut(false);
  while (oggQueue_.size() > kOggLookBack)
    if (!writeOggFront()) return false;
  return true;
}

bool Recorder::writeOggFront() {
  OggPiece piece = std::move(oggQueue_.front());
  oggQueue_.pop_front();
  ++track_.oggPiecesOut;
  if (!piece.page) return out(piece.bytes);
  std::string bytes;
  track_.oggTags->page(piece.bytes, bytes);
  return out(bytes);
}

bool Recorder::audio(const char* data, std::size_t len) {
  if (!haveHeaders_ || len == 0) return true;
  if (cut_.pending && !ogg()) {
    cut_.bytes.append(data, len);
    return tryCut(false);
  }
  if (track_.fd >= 0) return writeAll(data, len);
  if (held_.empty()) heldSince_ = std::chrono::steady_clock::now();
  held_.append(data, len);
  // A stream without titles: one file, once its format shows.
  if (!metadata_) return held_.size() < kSniffBytes || openTrack({timedName(), "", true}, false);
  // No title after all this: the untitled start gets a file of its own.
  if (held_.size() > kMaxHeld) return openTrack({timedName(), "", false}, true);
  return true;
}

bool Recorder::title(const std::string& raw) {
  if (!haveHeaders_ || !metadata_) return true;
  if (sawTitle_ && raw == currentRaw_ && (track_.fd >= 0 || cut_.pending)) {
    resumed_ = false;  // the same song goes on after a reconnect
    return true;
  }
  // The first title (of the run or after a reconnect) names a song already under way.
  const bool midSong = !sawTitle_ || resumed_;
  sawTitle_ = true;
  resumed_ = false;
  currentRaw_ = raw;
  const std::string title = icy::titleToUtf8(raw);
  Next next{safeName(title), title, !midSong};
  if (next.base.empty()) next.base = timedName();
  if (track_.fd < 0) return openTrack(next, true);
  return beginCut(next);
}

bool Recorder::beginCut(const Next& next) {
  // A title that follows another before its boundary showed: the earlier
  // one takes effect where it came.
  bool ok = !cut_.pending || (ogg() ? cutOggAt(0) : cutAt(0));
  static_cast<Next&>(cut_) = next;
  cut_.pending = true;
  cut_.bytes.clear();
  if (!ok) return false;
  if (ogg()) {
    // A stream that began within the last pages kept back starts the next file.
    for (std::size_t i = oggQueue_.size(); i-- > 0;) {
      if (!oggQueue_[i].streamStart) continue;
      if (i > 0 || track_.oggPiecesOut > 0) return cutOggAt(i);
      break;  // the file's own start
    }
    while (!oggQueue_.empty())
      if (!writeOggFront()) return false;
    return true;
  }
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
  return openTrack(cut_, true) && ok;
}

bool Recorder::tryOggCut(bool final) {
  const std::size_t queued = oggQueue_.size();
  if (queued > 0 && oggQueue_.back().streamStart) return cutOggAt(queued - 1);
  if (!final && queued < kOggLookBack) return true;
  // No new stream near the title: the first page after it that starts a packet.
  for (std::size_t i = 0; i < queued; ++i) {
    const OggPiece& p = oggQueue_[i];
    if (p.page && !(ogg::flagsOf(p.bytes) & ogg::kContinued) && (!p.header || p.streamStart)) return cutOggAt(i);
  }
  return cutOggAt(0);
}

bool Recorder::cutOggAt(std::size_t at) {
  cut_.pending = false;
  bool ok = true;
  for (std::size_t i = 0; i < at && ok; ++i) ok = writeOggFront();
  ok = closeTrack(true) && ok;
  // The file is named by the format of its first logical stream.
  const bool streamStart = !oggQueue_.empty() && oggQueue_.front().page &&
                           (ogg::flagsOf(oggQueue_.front().bytes) & ogg::kFirstPage);
  const bool withHeaders = !streamStart && oggHeaders_ && oggHeaders_->complete();
  ogg::Codec codec = ogg::Codec::Other;
  if (streamStart) codec = ogg::StreamHeaders(oggQueue_.front().bytes).codec();
  else if (withHeaders) codec = oggHeaders_->codec();
  const char* ext = codec == ogg::Codec::Opus ? ".opus" : codec == ogg::Codec::Vorbis ? ".ogg" : "";
  heldSince_ = std::chrono::steady_clock::now();
  if (!openTrack(cut_, true, ext)) return false;
  // Starting mid-stream, the file begins with that stream's headers, so it plays on its own.
  if (withHeaders) {
    std::string bytes;
    for (const auto& page : oggHeaders_->pages()) track_.oggTags->page(page, bytes);
    ok = out(bytes) && ok;
  }
  for (const auto& piece : oggQueue_) track_.bytes += piece.bytes.size();
  return ok;
}

bool Recorder::finish() {
  bool ok = true;
  if (cut_.pending) ok = ogg() ? tryOggCut(true) : tryCut(true);
  if (!held_.empty() && track_.fd < 0 && haveHeaders_) {
    ok = openTrack({timedName(), "", !metadata_}, metadata_) && ok;
  }
  if (track_.fd >= 0 && ogg()) {
    while (!oggQueue_.empty() && ok) ok = writeOggFront();
    ok = out(oggSplitter_.takeRest()) && ok;
  }
  return closeTrack(false) && ok;
}

}  // namespace ripper
