#pragma once
// Bounded handling of the fixed-width text buffers and of line ends.
#include <cstddef>
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

}  // namespace oruvel
