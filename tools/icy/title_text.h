#pragma once
// Stream titles come in any charset and nothing in the stream says which.
// Valid UTF-8 is taken as UTF-8; anything else as Windows-1252 (Latin-1 with
// its printable extras), so a title never puts invalid bytes into a file name
// or onto a terminal.
#include <string>
#include <string_view>

namespace icy {

// True when text is well-formed UTF-8 (no overlongs, surrogates or code
// points past U+10FFFF).
bool isValidUtf8(std::string_view text);

// The title as UTF-8: unchanged when valid UTF-8, else each byte read as
// Windows-1252 (its five unassigned bytes become U+FFFD).
std::string titleToUtf8(std::string_view raw);

}  // namespace icy
