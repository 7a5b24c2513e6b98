#pragma once
// Text taken from the lines of the genre file, the directory page and the
// local station files: keys found by a case-sensitive substring search (the
// first occurrence wins, wherever it stands), values cut at the next double
// quote or "&". No entity is decoded and no blank trimmed.
#include <string_view>

namespace oruvel {

struct LineValue {
  bool found = false;   // the key occurs in the line
  bool closed = false;  // the value ended at its terminator, not at the line's end
  std::string_view text;
};

// The quoted value of `key`: it starts one character after the key (the
// opening quote, skipped unseen) and ends before the next double quote.
// Without a closing quote it runs to the end of the line, line end excluded.
LineValue quotedValue(std::string_view line, std::string_view key);

// The value right after `key` (nothing skipped) up to the next "&". Without
// an "&" it ends at a double quote or the end of the line.
LineValue ampersandValue(std::string_view line, std::string_view key);

// The integer a text starts with, as strtol reads it in base 10: leading
// blanks and a sign allowed, stops at the first other character, 0 when
// there are no digits.
long leadingInteger(std::string_view text);

inline bool lineHas(std::string_view line, std::string_view key) {
  return line.find(key) != std::string_view::npos;
}

}  // namespace oruvel
