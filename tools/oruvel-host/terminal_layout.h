#pragma once
// Where things go on the terminal: the receiver's 720 x 576 screen scaled
// onto a grid of character cells, the front-panel LCD beside or below it,
// and the two lines at the foot (player, keys). Plain arithmetic, no
// terminal calls, so it can be checked without one.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace oruvel_host {

struct CellRect {
  int x = 0, y = 0, width = 0, height = 0;
  int right() const { return x + width; }
  int bottom() const { return y + height; }
};

class TerminalLayout {
 public:
  static constexpr int kScreenWidth = 720, kScreenHeight = 576;
  // Below this the screen's widgets no longer get rows and columns apart.
  static constexpr int kMinScreenColumns = 80, kMinScreenRows = 22;
  static constexpr int kFootRows = 2;  // player line, key help line
  static constexpr int kMinColumns = kMinScreenColumns, kMinRows = kMinScreenRows + kFootRows;
  // The LCD in braille cells (2 x 4 pixels each) inside a one-cell frame.
  static constexpr int kLcdColumns = 60, kLcdRows = 16;
  static constexpr int kLcdBoxColumns = kLcdColumns + 2, kLcdBoxRows = kLcdRows + 2;

  enum class LcdPlace { Beside, Below, None };

  TerminalLayout(int columns, int rows);

  bool tooSmall() const { return tooSmall_; }
  // Shown instead of the screen when the terminal is too small.
  std::string tooSmallMessage() const;

  const CellRect& screen() const { return screen_; }
  LcdPlace lcdPlace() const { return lcdPlace_; }
  const CellRect& lcdBox() const { return lcd_; }  // frame included
  int playerRow() const { return rows_ - 2; }
  int helpRow() const { return rows_ - 1; }
  int columns() const { return columns_; }
  int rows() const { return rows_; }

  // Screen pixels to cells (relative to the terminal's top left corner).
  int cellX(int px) const;
  int cellY(int py) const;
  // A pixel rectangle as cells; never narrower or lower than one cell.
  CellRect cells(int px, int py, int width, int height) const;

 private:
  int columns_, rows_;
  bool tooSmall_ = false;
  CellRect screen_, lcd_;
  LcdPlace lcdPlace_ = LcdPlace::None;
};

// Text cut to `columns` display cells: text that is not valid UTF-8 read
// as Windows-1252 first (titles come in any charset), a wide character
// counting two, control characters shown as '?', a trailing line end
// dropped. Tabs become one blank. Without unicode every byte above ASCII
// is one '?'.
std::string fitText(const std::string& text, int columns, bool unicode = true);
// Display cells the text takes (after the replacements of fitText).
int textCells(const std::string& text, bool unicode = true);

// The LCD picture (8 pages of 120 columns, bit 0 the top row of a page) as
// kLcdRows lines of kLcdColumns braille characters; a lit pixel is a dot.
// Without unicode, each cell is '#' when any of its pixels is lit.
using LcdFrame = std::array<std::uint8_t, 960>;
std::vector<std::string> lcdBraille(const LcdFrame& frame, bool unicode = true);

// The lines of a message, '\n' separated, each wrapped at `columns` cells.
std::vector<std::string> wrapLines(const std::string& text, int columns);

}  // namespace oruvel_host
