#include "tools/icy/format_follower.h"

#include <algorithm>
#include <cstring>

namespace icy {
namespace {

const std::uint8_t* bytes(const std::string& s) { return reinterpret_cast<const std::uint8_t*>(s.data()); }

// The size of an ID3v2 tag at the start of data, 0 when there is none.
std::size_t id3Size(const std::string& data) {
  if (data.size() < 10 || data.compare(0, 3, "ID3") != 0) return 0;
  const auto* h = bytes(data);
  return 10 + ((std::size_t(h[6] & 0x7F) << 21) | (std::size_t(h[7] & 0x7F) << 14) |
               (std::size_t(h[8] & 0x7F) << 7) | std::size_t(h[9] & 0x7F));
}

}  // namespace

void FormatFollower::restart() {
  format_ = StreamFormat::Unknown;
  head_.clear();
  pending_.clear();
  nextHeader_ = 0;
  told_ = false;
}

void FormatFollower::feed(const char* data, std::size_t len) {
  if (format_ == StreamFormat::Unknown) {
    head_.append(data, len);
    search();
  } else if (isOgg(format_)) {
    if (onAudio) onAudio(format_, data, len);
  } else {
    pending_.append(data, len);
    walk();
  }
}

// Enough bytes to see three frames of any stream, past an ID3 tag ahead of it.
std::size_t FormatFollower::searchLimit() const {
  constexpr std::size_t kWindow = 64 * 1024, kMaxTag = 1024 * 1024;
  return std::min(id3Size(head_), kMaxTag) + kWindow;
}

void FormatFollower::search() {
  const StreamFormat found = formatFromBytes(bytes(head_), head_.size());
  std::size_t start = kNoBoundary;
  if (isOgg(found)) {
    start = 0;  // the decoder finds the pages itself
  } else if (found != StreamFormat::Unknown) {
    const std::size_t tag = id3Size(head_);
    if (tag < head_.size()) {
      const std::size_t at = nextBoundary(found, bytes(head_) + tag, head_.size() - tag);
      if (at != kNoBoundary) start = tag + at;
    }
  }
  if (start == kNoBoundary) {
    if (head_.size() < searchLimit()) return;
    if (!told_ && onUnknown) onUnknown();
    told_ = true;
    head_.erase(0, head_.size() - std::min<std::size_t>(head_.size(), kBoundarySearch));  // keep looking
    return;
  }
  format_ = found;
  std::string rest = head_.substr(start);
  head_.clear();
  told_ = false;
  pending_.clear();
  nextHeader_ = 0;
  feed(rest.data(), rest.size());
}

void FormatFollower::walk() {
  const std::size_t header = format_ == StreamFormat::Mp3 ? 4 : 7;
  bool broken = false;
  while (nextHeader_ + header <= pending_.size()) {
    const auto* h = bytes(pending_) + nextHeader_;
    const std::size_t length = format_ == StreamFormat::Mp3 ? mpegFrameLength(h) : adtsFrameLength(h);
    if (length == 0) {
      broken = true;
      break;
    }
    nextHeader_ += length;
  }
  // Bytes up to the next header can go; a header not yet whole waits.
  const std::size_t out = std::min(nextHeader_, pending_.size());
  if (out > 0 && onAudio) onAudio(format_, pending_.data(), out);
  pending_.erase(0, out);
  nextHeader_ -= out;
  if (!broken) return;
  // The frames broke off: tell the format again from here.
  std::string rest;
  rest.swap(pending_);
  restart();
  feed(rest.data(), rest.size());
}

}  // namespace icy
