#include "tools/oruvel-host/terminal_layout.h"

#include <wchar.h>

#include <algorithm>

#include "tools/icy/title_text.h"

namespace oruvel_host {
namespace {

// One character of UTF-8 at text[i]: its code point and length, or -1 for
// a byte that does not start a valid sequence.
long decodeUtf8(const std::string& text, size_t i, size_t& length) {
  const unsigned char c = static_cast<unsigned char>(text[i]);
  length = 1;
  if (c < 0x80) return c;
  int extra;
  long cp;
  if (c >= 0xc2 && c <= 0xdf) { extra = 1; cp = c & 0x1f; }
  else if (c >= 0xe0 && c <= 0xef) { extra = 2; cp = c & 0x0f; }
  else if (c >= 0xf0 && c <= 0xf4) { extra = 3; cp = c & 0x07; }
  else return -1;
  if (i + static_cast<size_t>(extra) >= text.size()) return -1;
  for (int k = 1; k <= extra; ++k) {
    const unsigned char n = static_cast<unsigned char>(text[i + static_cast<size_t>(k)]);
    if ((n & 0xc0) != 0x80) return -1;
    cp = (cp << 6) | (n & 0x3f);
  }
  // Overlong forms, surrogates and values past Unicode are not text.
  if ((extra == 2 && cp < 0x800) || (extra == 3 && (cp < 0x10000 || cp > 0x10ffff)) ||
      (cp >= 0xd800 && cp <= 0xdfff))
    return -1;
  length = static_cast<size_t>(extra) + 1;
  return cp;
}

// Walks the displayable pieces of text: calls piece(bytes, cells) for each
// character as it will be shown.
template <class Piece>
void eachShown(const std::string& raw, bool unicode, Piece piece) {
  // Titles come in any charset: what is not UTF-8 is read as Windows-1252.
  std::string text = unicode ? icy::titleToUtf8(raw) : raw;
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  for (size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '\t') {
      if (!piece(std::string(" "), 1)) return;
      ++i;
      continue;
    }
    if (c < 0x20 || c == 0x7f) {
      if (!piece(std::string("?"), 1)) return;
      ++i;
      continue;
    }
    if (c < 0x80) {
      if (!piece(std::string(1, static_cast<char>(c)), 1)) return;
      ++i;
      continue;
    }
    size_t length = 1;
    long cp = unicode ? decodeUtf8(text, i, length) : -1;
    const bool c1 = cp >= 0x80 && cp < 0xa0;
    int width = cp >= 0 && !c1 ? ::wcwidth(static_cast<wchar_t>(cp)) : -1;
    if (width < 0) {
      // One '?' per byte, so the shown text stays a byte-for-byte map.
      for (size_t k = 0; k < (cp < 0 ? 1 : length); ++k)
        if (!piece(std::string("?"), 1)) return;
      i += cp < 0 ? 1 : length;
      continue;
    }
    if (!piece(text.substr(i, length), width)) return;
    i += length;
  }
}

}  // namespace

TerminalLayout::TerminalLayout(int columns, int rows) : columns_(columns), rows_(rows) {
  if (columns < kMinColumns || rows < kMinRows) {
    tooSmall_ = true;
    return;
  }
  const int screenRows = rows - kFootRows;
  if (columns >= kMinScreenColumns + 1 + kLcdBoxColumns) {
    lcdPlace_ = LcdPlace::Beside;
    screen_ = {0, 0, columns - kLcdBoxColumns - 1, screenRows};
    lcd_ = {columns - kLcdBoxColumns, 0, kLcdBoxColumns, kLcdBoxRows};
    if (lcd_.height > screenRows) lcd_.height = screenRows;
  } else if (screenRows >= kMinScreenRows + kLcdBoxRows) {
    lcdPlace_ = LcdPlace::Below;
    screen_ = {0, 0, columns, screenRows - kLcdBoxRows};
    lcd_ = {0, screen_.bottom(), kLcdBoxColumns, kLcdBoxRows};
  } else {
    screen_ = {0, 0, columns, screenRows};
  }
}

std::string TerminalLayout::tooSmallMessage() const {
  return "oruvel-host needs a terminal of at least " + std::to_string(kMinColumns) + " x " +
         std::to_string(kMinRows) + " characters; this one is " + std::to_string(columns_) +
         " x " + std::to_string(rows_) + ". Enlarge it and the screen comes back (" +
         std::to_string(kMinScreenColumns + 1 + kLcdBoxColumns) +
         " columns show the LCD beside it).";
}

int TerminalLayout::cellX(int px) const {
  px = std::clamp(px, 0, kScreenWidth);
  return screen_.x + px * screen_.width / kScreenWidth;
}

int TerminalLayout::cellY(int py) const {
  py = std::clamp(py, 0, kScreenHeight);
  return screen_.y + py * screen_.height / kScreenHeight;
}

CellRect TerminalLayout::cells(int px, int py, int width, int height) const {
  CellRect r;
  r.x = cellX(px);
  r.y = cellY(py);
  r.width = std::max(1, cellX(px + std::max(0, width)) - r.x);
  r.height = std::max(1, cellY(py + std::max(0, height)) - r.y);
  // Keep the cell inside the screen even for a widget at its very edge.
  if (r.x >= screen_.right()) r.x = screen_.right() - 1;
  if (r.y >= screen_.bottom()) r.y = screen_.bottom() - 1;
  r.width = std::min(r.width, screen_.right() - r.x);
  r.height = std::min(r.height, screen_.bottom() - r.y);
  return r;
}

std::string fitText(const std::string& text, int columns, bool unicode) {
  std::string out;
  int used = 0;
  eachShown(text, unicode, [&](const std::string& bytes, int cells) {
    if (used + cells > columns) return false;
    out += bytes;
    used += cells;
    return true;
  });
  return out;
}

int textCells(const std::string& text, bool unicode) {
  int used = 0;
  eachShown(text, unicode, [&](const std::string&, int cells) {
    used += cells;
    return true;
  });
  return used;
}

std::vector<std::string> lcdBraille(const LcdFrame& frame, bool unicode) {
  // Dot bits of a braille cell, by pixel column (0, 1) and row (0..3).
  static const int kDot[2][4] = {{0x01, 0x02, 0x04, 0x40}, {0x08, 0x10, 0x20, 0x80}};
  auto lit = [&frame](int x, int y) { return (frame[(y / 8) * 120 + x] >> (y % 8)) & 1; };
  std::vector<std::string> lines;
  for (int row = 0; row < TerminalLayout::kLcdRows; ++row) {
    std::string line;
    for (int col = 0; col < TerminalLayout::kLcdColumns; ++col) {
      int bits = 0;
      for (int dx = 0; dx < 2; ++dx)
        for (int dy = 0; dy < 4; ++dy)
          if (lit(col * 2 + dx, row * 4 + dy)) bits |= kDot[dx][dy];
      if (!unicode) {
        line += bits ? '#' : ' ';
        continue;
      }
      const int cp = 0x2800 + bits;  // three bytes of UTF-8
      line += static_cast<char>(0xe0 | (cp >> 12));
      line += static_cast<char>(0x80 | ((cp >> 6) & 0x3f));
      line += static_cast<char>(0x80 | (cp & 0x3f));
    }
    lines.push_back(line);
  }
  return lines;
}

std::vector<std::string> wrapLines(const std::string& raw, int columns) {
  // As fitText reads it, so the pieces cut from it match what it shows.
  const std::string text = icy::titleToUtf8(raw);
  std::vector<std::string> out;
  if (columns < 1) columns = 1;
  size_t start = 0;
  for (;;) {
    size_t end = text.find('\n', start);
    std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    while (!line.empty() && line.back() == '\r') line.pop_back();
    if (!(end == std::string::npos && line.empty() && !out.empty())) {
      do {
        std::string piece = fitText(line, columns);
        // Cut at a blank when there is one in the piece's second half.
        size_t taken = piece.size();
        if (taken < line.size()) {
          size_t blank = piece.rfind(' ');
          if (blank != std::string::npos && blank > piece.size() / 2) taken = blank + 1;
        }
        if (taken == 0) taken = 1;  // a character wider than the box: skip it
        out.push_back(fitText(line.substr(0, taken), columns));
        line.erase(0, taken);
      } while (!line.empty());
    }
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return out;
}

}  // namespace oruvel_host
