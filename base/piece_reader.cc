#include "base/piece_reader.h"

#include <algorithm>

namespace oruvel {

namespace {
constexpr std::size_t kBlockBytes = 64 * 1024;
}  // namespace

PieceReader::PieceReader(std::FILE* file, std::size_t bufferSize, std::size_t limit)
    : file_(file),
      max_(bufferSize > 0 ? bufferSize - 1 : 0),
      left_(limit),
      filled_(std::max(kBlockBytes, 2 * max_)),
      block_(filled_ + kReadableBehind) {}

PieceReader::PieceReader(std::string_view text, std::size_t bufferSize)
    : file_(nullptr),
      max_(bufferSize > 0 ? bufferSize - 1 : 0),
      left_(0),
      filled_(text.size()),
      block_(text.begin(), text.end()),
      end_(text.size()),
      atEnd_(true) {
  block_.resize(filled_ + kReadableBehind);
}

void PieceReader::refill() {
  // The unread rest moves to the front; a piece never spans two blocks.
  const std::size_t unread = end_ - begin_;
  if (unread > 0 && begin_ > 0) std::memmove(block_.data(), block_.data() + begin_, unread);
  begin_ = 0;
  end_ = unread;
  const std::size_t want = std::min(filled_ - end_, left_);
  const std::size_t got = want > 0 ? std::fread(block_.data() + end_, 1, want, file_) : 0;
  end_ += got;
  left_ -= got;
  // fread comes back short only at the end of the file or on an error.
  if (got < want || left_ == 0) atEnd_ = true;
}

}  // namespace oruvel
