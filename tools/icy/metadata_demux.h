#pragma once
// Takes the in-band metadata out of a stream body: after every `metaint`
// audio bytes comes a length byte (times 16) and a metadata block of that
// length. Knows nothing of headers or of what a block says.
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace icy {

class MetadataDemux {
 public:
  // metaint 0: the body is all audio.
  explicit MetadataDemux(long metaint) : metaint_(metaint), untilMeta_(metaint) {}
  // The callbacks usually point back at the owner, which a copy would share.
  MetadataDemux(const MetadataDemux&) = delete;
  MetadataDemux& operator=(const MetadataDemux&) = delete;

  std::function<void(const char*, std::size_t)> onAudio;  // audio bytes in order
  std::function<void(std::string_view)> onMetadata;       // each non-empty block, padding included

  // Body bytes, in chunks of any size.
  void feed(const char* data, std::size_t len);

 private:
  enum class State { Audio, Length, Block };

  const long metaint_;
  State state_ = State::Audio;
  long untilMeta_;            // audio bytes before the next length byte
  std::size_t blockLeft_ = 0; // block bytes still to come
  std::string block_;
};

}  // namespace icy
