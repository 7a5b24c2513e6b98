#include "directory/line_values.h"

#include <cerrno>
#include <cstdlib>
#include <string>

#include "base/fixed_text.h"

namespace oruvel {

namespace {

LineValue valueFrom(std::string_view line, std::size_t start, std::string_view terminators) {
  LineValue v;
  v.found = true;
  if (start >= line.size()) return v;
  std::string_view rest = line.substr(start);
  std::size_t end = rest.find_first_of(terminators);
  if (end == std::string_view::npos) {
    v.text = stripLineEnd(rest);
  } else {
    v.closed = true;
    v.text = rest.substr(0, end);
  }
  return v;
}

}  // namespace

LineValue quotedValue(std::string_view line, std::string_view key) {
  std::size_t at = line.find(key);
  if (at == std::string_view::npos) return {};
  return valueFrom(line, at + key.size() + 1, "\"");
}

LineValue ampersandValue(std::string_view line, std::string_view key) {
  std::size_t at = line.find(key);
  if (at == std::string_view::npos) return {};
  LineValue v = valueFrom(line, at + key.size(), "&");
  if (!v.closed) {
    // No "&": the value of the url attribute still ends at its quote.
    std::size_t quote = v.text.find('"');
    if (quote != std::string_view::npos) v.text = v.text.substr(0, quote);
  }
  return v;
}

long leadingInteger(std::string_view text) {
  // strtol needs a terminated string; a bounded copy also stops it at a NUL.
  std::string copy(text.substr(0, text.find('\0')));
  errno = 0;
  return std::strtol(copy.c_str(), nullptr, 10);
}

}  // namespace oruvel
