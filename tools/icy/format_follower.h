#pragma once
// Follows the audio of a stream frame by frame, so a change of format in the
// middle (MP3, then AAC, whatever the content type says) is seen where it
// happens: bytes go out with the format they are in. At the start, on each
// new connection and wherever the frames break off, the format is told
// again from the bytes that follow. Ogg is passed on page for page unwalked.
#include <cstddef>
#include <functional>
#include <string>

#include "tools/icy/stream_format.h"

namespace icy {

class FormatFollower {
 public:
  std::function<void(StreamFormat, const char*, std::size_t)> onAudio;  // whole frames from a proven start
  // Enough bytes came to see any format, and they prove none (said once per search).
  std::function<void()> onUnknown;

  void feed(const char* data, std::size_t len);
  // A new connection: what comes is told afresh.
  void restart();
  // The format of the bytes going out; Unknown while searching.
  StreamFormat format() const { return format_; }

 private:
  void search();
  void walk();
  std::size_t searchLimit() const;

  StreamFormat format_ = StreamFormat::Unknown;
  std::string head_;      // searching: the bytes since the search began
  std::string pending_;   // walking: bytes from a frame start not yet handed on
  std::size_t nextHeader_ = 0;  // where in pending_ the next frame header lies
  bool told_ = false;     // onUnknown said for this search
};

}  // namespace icy
