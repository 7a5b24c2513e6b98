#include "directory/line_values.h"

#include <climits>
#include <cstring>

#include "base/fixed_text.h"

namespace oruvel {

namespace {

// The value from `start` up to `terminator`, or to the end of the line,
// line end excluded.
inline LineValue valueFrom(const char* start, const char* end, char terminator) {
  LineValue v;
  v.found = true;
  if (start >= end) return v;
  const std::size_t rest = static_cast<std::size_t>(end - start);
  if (const void* stop = std::memchr(start, terminator, rest)) {
    v.closed = true;
    v.text = std::string_view(start, static_cast<std::size_t>(static_cast<const char*>(stop) - start));
  } else {
    v.text = stripLineEnd(std::string_view(start, rest));
  }
  return v;
}
inline LineValue valueFrom(std::string_view line, std::size_t start, char terminator) {
  const char* end = line.data() + line.size();
  return valueFrom(start < line.size() ? line.data() + start : end, end, terminator);
}

// The blanks strtol skips in the C locale.
bool isBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

}  // namespace

LineValue quotedValue(std::string_view line, std::string_view key) {
  std::size_t at = line.find(key);
  if (at == std::string_view::npos) return {};
  return valueFrom(line, at + key.size() + 1, '"');
}

LineValue ampersandValue(std::string_view line, std::string_view key) {
  std::size_t at = line.find(key);
  if (at == std::string_view::npos) return {};
  LineValue v = valueFrom(line, at + key.size(), '&');
  if (!v.closed) {
    // No "&": the value of the url attribute still ends at its quote.
    std::size_t quote = v.text.find('"');
    if (quote != std::string_view::npos) v.text = v.text.substr(0, quote);
  }
  return v;
}

long leadingInteger(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && isBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  // Past the range strtol gives the nearest end of it.
  const unsigned long limit = negative ? static_cast<unsigned long>(LONG_MAX) + 1 : LONG_MAX;
  unsigned long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    const unsigned long digit = static_cast<unsigned long>(text[i] - '0');
    if (value > (limit - digit) / 10) return negative ? LONG_MIN : LONG_MAX;
    value = value * 10 + digit;
  }
  if (negative && value > 0) return -static_cast<long>(value - 1) - 1;
  return static_cast<long>(value);
}

}  // namespace oruvel
