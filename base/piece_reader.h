#pragma once
// The one way Oruvel reads its files and texts line by line: in the pieces
// a fixed line buffer of `bufferSize` bytes gives (at most bufferSize-1
// bytes a piece, a piece ends after a newline, so a longer line arrives in
// several pieces), but a block at a time. Bytes are counted, not
// NUL-searched, so a NUL inside a line cannot shorten or overrun anything.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

namespace oruvel {

class PieceReader {
 public:
  // Behind every piece at least this many more bytes can be read, so a
  // search may look at a whole window past a piece's end (and disregard
  // what it finds there).
  static constexpr std::size_t kReadableBehind = 16;

  // Reads `file`, at most `limit` bytes of it.
  PieceReader(std::FILE* file, std::size_t bufferSize, std::size_t limit = SIZE_MAX);
  // Reads a text held in memory.
  PieceReader(std::string_view text, std::size_t bufferSize);
  PieceReader(const PieceReader&) = delete;
  PieceReader& operator=(const PieceReader&) = delete;

  // The next piece, newline included when it was read; false at the end.
  bool next(std::string_view& piece) {
    if (end_ - begin_ < max_ && !atEnd_) refill();
    const std::size_t available = end_ - begin_ < max_ ? end_ - begin_ : max_;
    if (available == 0) return false;
    const char* start = block_.data() + begin_;
    const void* newline = std::memchr(start, '\n', available);
    const std::size_t size =
        newline ? static_cast<std::size_t>(static_cast<const char*>(newline) - start) + 1 : available;
    piece = std::string_view(start, size);
    begin_ += size;
    return true;
  }

 private:
  void refill();

  std::FILE* file_;
  std::size_t max_;
  std::size_t left_;  // bytes of the file still to be read
  std::size_t filled_;  // bytes of block_ that reading may fill; the rest stays readable
  std::vector<char> block_;
  std::size_t begin_ = 0, end_ = 0;  // the unread bytes of block_
  bool atEnd_ = false;
};

}  // namespace oruvel
