#pragma once
// Turns one station's audio and titles into files: DIR/<station>/<title>.ext,
// one file per track, the audio exactly as it came (no re-encoding) with
// the track's tags in front, the extension by the file's own format.
//
// Naming: a track is written as "<title> (partial).ext" and renamed to
// "<title>.ext" when the next title shows it ended. The first track of a run
// started mid-song, a track that lost bytes to a reconnect, and the track in
// progress when recording stops keep "(partial)". Audio that comes before
// the first title is held back (a server sends the title after its first
// icy-metaint bytes) and written to the first title's file. An empty title
// (an ad break, say) and a stream without metadata are named by the station
// and the local time; a stream without metadata is one file per run.
//
// Tags: MP3 and AAC files start with an ID3v2.4 tag; in Ogg each Vorbis or
// Opus stream's comment packet is replaced by one with the track's tags.
//
// Cuts: every file plays on its own. A title change takes effect at the next
// MP3 or ADTS frame, so no file starts or ends inside a frame. Ogg is cut
// between pages: where a new logical stream begins, when one began within
// the last few pages before the title or begins within a few after it; else
// at the first page after the title that starts a packet, and the file then
// starts with the current logical stream's header pages. Where the bytes show
// no frames the cut falls where the title came.
#include <sys/types.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <ctime>
#include <deque>
#include <optional>
#include <string>

#include "tools/icy/response_headers.h"
#include "tools/icy/stream_format.h"
#include "tools/lumoripper/ogg_comments.h"
#include "tools/lumoripper/ogg_page.h"

namespace ripper {

class Recorder {
 public:
  // Audio held back while waiting for the first title, at most.
  static constexpr std::size_t kMaxHeld = 1024 * 1024;
  // Audio a stream without titles shows before its format is judged.
  static constexpr std::size_t kSniffBytes = 16 * 1024;
  // Audio after a title change searched for a frame boundary, at most.
  static constexpr std::size_t kCutSearch = 64 * 1024;
  // Audio gathered before it is written, at most: the stream comes in small
  // pieces, the disk takes one write for each network read (see flush).
  static constexpr std::size_t kWriteBatch = 256 * 1024;
  // Ogg pages kept back from the file, so a cut can still fall before them.
  static constexpr std::size_t kOggLookBack = 4;

  // How bytes reach a file: write(2), or a stand-in that writes less.
  using WriteFn = ssize_t (*)(int fd, const void* data, std::size_t len);

  Recorder(std::string dir, std::string fallbackStation, WriteFn write = ::write);
  ~Recorder();
  Recorder(const Recorder&) = delete;
  Recorder& operator=(const Recorder&) = delete;

  // A connection's headers. The first ones fix the station folder; later
  // ones (a reconnect) mark the current track as broken.
  bool headers(const icy::StreamInfo& info);
  bool audio(const char* data, std::size_t len);
  // A title as the stream sent it; a track changes when these bytes change.
  bool title(const std::string& raw);
  // Writes the audio gathered so far; called once per network read.
  bool flush();
  // Writes what is held back and closes the current track (it stays partial).
  bool finish();

  const std::string& error() const { return error_; }  // why the last call failed
  const std::string& trackName() const { return track_.base.empty() ? station_ : track_.base; }
  std::uint64_t trackBytes() const { return track_.bytes + held_.size() + cut_.bytes.size(); }
  std::int64_t trackSeconds() const;
  std::uint64_t totalBytes() const { return total_; }
  icy::StreamFormat format() const { return format_; }

 private:
  struct Track {
    int fd = -1;
    std::string path;
    std::string base, ext;
    bool markPartial = true;   // written under "(partial)" until known complete
    bool wholeFromStart = false;
    std::uint64_t bytes = 0;   // including what is gathered, not yet written
    std::uint64_t oggPiecesOut = 0;  // Ogg pages (or noise) gone to the file
    std::optional<ogg::CommentRewriter> oggTags;
    std::chrono::steady_clock::time_point started;
  };
  // The next track's name and title.
  struct Next {
    std::string base, title;  // title: UTF-8, for the tags
    bool wholeFromStart = false;
  };
  // A title change waiting for its frame boundary.
  struct Cut : Next {
    bool pending = false;
    std::string bytes;  // audio since the title, not yet written (MP3, AAC)
  };
  // An Ogg page (or noise between pages) not yet in the file.
  struct OggPiece {
    std::string bytes;
    bool page = false;
    bool streamStart = false;  // a new logical stream, not a reconnect's repeat
    bool header = false;       // one of its stream's header pages
  };

  bool openTrack(const Next& next, bool markPartial, const std::string& ext = "");
  bool closeTrack(bool complete);
  bool writeAll(const char* data, std::size_t len);
  bool out(const std::string& bytes);
  bool beginCut(const Next& next);
  bool tryCut(bool final);
  bool cutAt(std::size_t at);
  bool queueOgg(ogg::PageSplitter::Piece piece);
  bool writeOggFront();
  bool tryOggCut(bool final);
  bool cutOggAt(std::size_t at);
  bool fail(const std::string& what);
  std::string timedName() const;
  bool ogg() const;

  std::string dir_, fallbackStation_;
  std::string station_, stationTitle_, stationDir_, ext_, contentType_;
  icy::StreamFormat format_ = icy::StreamFormat::Unknown;
  bool formatKnown_ = false;
  bool haveHeaders_ = false;
  bool metadata_ = false;
  bool sawTitle_ = false;
  bool resumed_ = false;      // reconnected, no title since
  bool skipStreamStart_ = false;  // a reconnect's repeated stream headers are no new track
  std::string currentRaw_;
  std::string held_;
  std::string gathered_;      // the current track's audio not yet written
  ogg::PageSplitter oggSplitter_;
  // The newest pages, not yet written; while a cut is pending the first of
  // them is the first page after its title.
  std::deque<OggPiece> oggQueue_;
  std::optional<ogg::StreamHeaders> oggHeaders_;  // the latest logical stream's, as they came
  WriteFn write_;
  std::chrono::steady_clock::time_point heldSince_;
  Track track_;
  Cut cut_;
  std::uint64_t total_ = 0;
  std::string error_;
};

}  // namespace ripper
