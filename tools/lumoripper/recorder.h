#pragma once
// Turns one station's audio and titles into files: DIR/<station>/<title>.ext,
// one file per track, the audio exactly as it came (no re-encoding).
//
// Naming: a track is written as "<title> (partial).ext" and renamed to
// "<title>.ext" when the next title shows it ended. The first track of a run
// started mid-song, a track that lost bytes to a reconnect, and the track in
// progress when recording stops keep "(partial)". Audio that comes before
// the first title is held back (a server sends the title after its first
// icy-metaint bytes) and written to the first title's file. An empty title
// (an ad break, say) and a stream without metadata are named by the station
// and the local time; a stream without metadata is one file per run.
#include <chrono>
#include <cstdint>
#include <ctime>
#include <string>

#include "tools/icy/icy_parser.h"

namespace ripper {

class Recorder {
 public:
  // Audio held back while waiting for the first title, at most.
  static constexpr std::size_t kMaxHeld = 1024 * 1024;

  Recorder(std::string dir, std::string fallbackStation);
  ~Recorder();
  Recorder(const Recorder&) = delete;
  Recorder& operator=(const Recorder&) = delete;

  // A connection's headers. The first ones fix the station folder and the
  // extension; later ones (a reconnect) mark the current track as broken.
  bool headers(const icy::StreamInfo& info);
  bool audio(const char* data, std::size_t len);
  bool title(const std::string& title);
  // Writes what is held back and closes the current track (it stays partial).
  bool finish();

  const std::string& error() const { return error_; }  // why the last call failed
  const std::string& trackName() const { return track_.base.empty() ? station_ : track_.base; }
  std::uint64_t trackBytes() const { return track_.bytes + held_.size(); }
  std::int64_t trackSeconds() const;
  std::uint64_t totalBytes() const { return total_; }
  const std::string& stationDir() const { return stationDir_; }

 private:
  struct Track {
    int fd = -1;
    std::string path;
    std::string base;
    bool markPartial = true;   // written under "(partial)" until known complete
    bool wholeFromStart = false;
    std::uint64_t bytes = 0;
    std::chrono::steady_clock::time_point started;
  };

  bool openTrack(const std::string& base, bool markPartial, bool wholeFromStart);
  bool closeTrack(bool complete);
  bool writeAll(const char* data, std::size_t len);
  bool fail(const std::string& what);
  std::string timedName() const;

  std::string dir_, fallbackStation_;
  std::string station_, stationDir_, ext_;
  bool haveHeaders_ = false;
  bool metadata_ = false;
  bool sawTitle_ = false;
  bool resumed_ = false;  // reconnected, no title since
  std::string currentTitle_;
  std::string held_;
  std::chrono::steady_clock::time_point heldSince_;
  Track track_;
  std::uint64_t total_ = 0;
  std::string error_;
};

}  // namespace ripper
