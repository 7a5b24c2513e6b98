#include "tools/icy/metadata_demux.h"

#include <algorithm>

namespace icy {

void MetadataDemux::feed(const char* data, std::size_t len) {
  while (len > 0) {
    std::size_t n = 1;
    if (state_ == State::Audio) {
      n = metaint_ > 0 ? std::min(len, static_cast<std::size_t>(untilMeta_)) : len;
      if (onAudio) onAudio(data, n);
      if (metaint_ > 0 && (untilMeta_ -= static_cast<long>(n)) == 0) state_ = State::Length;
    } else if (state_ == State::Length) {
      blockLeft_ = static_cast<unsigned char>(*data) * 16u;
      untilMeta_ = metaint_;
      state_ = blockLeft_ > 0 ? State::Block : State::Audio;
    } else {
      n = std::min(len, blockLeft_);
      block_.append(data, n);
      if ((blockLeft_ -= n) == 0) {
        if (onMetadata) onMetadata(block_);
        block_.clear();
        state_ = State::Audio;
      }
    }
    data += n;
    len -= n;
  }
}

}  // namespace icy
