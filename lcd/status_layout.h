#pragma once
// The status text on the front-panel LCD: seven rows of fourteen 8x8 cells
// below the top band, filled in reading order without word wrapping.
#include <array>
#include <string_view>

class CLCDDisplay;

namespace oruvel {

inline constexpr int kStatusRows = 7;
inline constexpr int kStatusCells = 14;
inline constexpr int kStatusLeft = 1;  // x of every row
inline constexpr int kStatusTop = 8;   // y of row 0; row i is 8 lower per row

// One row: fourteen cells and a terminating NUL.
using StatusRow = std::array<char, kStatusCells + 1>;
using StatusRows = std::array<StatusRow, kStatusRows>;

// The cells of text: blanks where the text ends, the rest of a text longer
// than 98 bytes dropped. Bytes are kept as they are (a newline shows as its
// glyph); a NUL byte becomes a blank cell, which looks the same as glyph 0.
StatusRows statusRows(std::string_view text);

// Draws the seven rows, blanks included, and updates the panel.
void layoutStatusText(CLCDDisplay& lcd, std::string_view text);

}  // namespace oruvel
