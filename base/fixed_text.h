#pragma once
// Bounded handling of the fixed-width text buffers and of line reading.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

namespace oruvel {

// Copies src into dst[cap], cut to cap-1 bytes and always NUL-terminated.
// Returns false when src had to be cut.
inline bool copyBounded(char* dst, std::size_t cap, std::string_view src) {
  if (cap == 0) return false;
  std::size_t n = src.size() < cap - 1 ? src.size() : cap - 1;
  // An empty view may carry a null pointer, which memcpy must not get.
  if (n > 0) std::memcpy(dst, src.data(), n);
  dst[n] = '\0';
  return n == src.size();
}
template <std::size_t N>
inline bool copyBounded(char (&dst)[N], std::string_view src) {
  return copyBounded(dst, N, src);
}

// Appends src to the NUL-terminated text in dst[cap], bounded the same way.
inline bool appendBounded(char* dst, std::size_t cap, std::string_view src) {
  std::size_t len = strnlen(dst, cap);
  if (len >= cap) return false;
  return copyBounded(dst + len, cap - len, src);
}
template <std::size_t N>
inline bool appendBounded(char (&dst)[N], std::string_view src) {
  return appendBounded(dst, N, src);
}

// The text of a fixed buffer up to its NUL (or its whole width without one).
template <std::size_t N>
inline std::string_view fixedView(const char (&buf)[N]) {
  return std::string_view(buf, strnlen(buf, N));
}

// Drops one trailing newline and a carriage return before it.
inline std::string_view stripLineEnd(std::string_view line) {
  if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

// Reads a file in pieces the way a fixed line buffer of `bufferSize` bytes
// does: at most bufferSize-1 bytes a piece, a piece ends after a newline,
// so a longer line arrives in several pieces. Bytes are counted, not
// NUL-searched, so a NUL inside a line cannot shorten or overrun anything.
// Reading ends after `limit` bytes of the file, as at its end.
class PieceReader {
 public:
  PieceReader(std::FILE* file, std::size_t bufferSize, std::size_t limit = SIZE_MAX)
      : file_(file), max_(bufferSize - 1), left_(limit) {
    buf_.reserve(max_);
  }
  // The next piece, newline included when it was read; false at end of file.
  bool next(std::string_view& piece) {
    buf_.clear();
    int c;
    while (buf_.size() < max_ && left_ > 0 && (c = getc_unlocked(file_)) != EOF) {
      --left_;
      buf_ += static_cast<char>(c);
      if (c == '\n') break;
    }
    piece = buf_;
    return !buf_.empty();
  }

 private:
  std::FILE* file_;
  std::size_t max_;
  std::size_t left_;
  std::string buf_;
};

}  // namespace oruvel
