#pragma once
// The front-panel LCD: a one-byte-per-pixel picture in memory, 8x8 text
// drawn into it, and on update() the picture packed into the device's page
// format and written to /dev/dbox/lcd0 in one call.
#include <string>

class CLCDDisplay {
 public:
  static constexpr int kBufferColumns = 132;  // columns held in memory
  static constexpr int kColumns = 120;        // columns the panel shows
  static constexpr int kRows = 64;
  static constexpr int kPages = kRows / 8;
  static constexpr int kPageBytes = kPages * kColumns;  // one device write

  // Opens the device under the filesystem root and prepares it; failures
  // go to standard error and leave a picture that is drawn in memory only.
  CLCDDisplay();
  // The same with an explicit device path (the messages stay the same).
  explicit CLCDDisplay(const std::string& devicePath);
  ~CLCDDisplay();
  CLCDDisplay(const CLCDDisplay&) = delete;
  CLCDDisplay& operator=(const CLCDDisplay&) = delete;

  int invalid_col(int x) const { return x < 0 || x >= kColumns; }
  int invalid_row(int y) const { return y < 0 || y >= kRows; }

  // Colour 0 darkens, 1 lights, 2 inverts the pixel. Points outside the
  // picture and other colours change nothing.
  void draw_point(int x, int y, int colour);
  // Paints the whole 8x8 cell of glyph ch at (x, y), clipped pixel by pixel
  // at the edges of the visible area.
  void draw_char(int x, int y, char ch);
  // Draws s from (x, y) to the right, 8 columns a character, without
  // wrapping and without treating any code specially.
  void draw_string(int x, int y, const char* s);
  // Rebuilds the page buffer from the picture.
  void convert_data();
  // convert_data(), then one 960-byte write to the device.
  void update();

  // The picture (column-major, pixel (x, y) at x * kRows + y: 1 lit) and the
  // packed pages (page p, column x at p * kColumns + x; bit b is row 8p + b).
  const unsigned char* pixels() const { return pixels_; }
  const unsigned char* pages() const { return pages_; }
  unsigned char pixel(int x, int y) const {
    return x >= 0 && x < kBufferColumns && y >= 0 && y < kRows ? pixels_[x * kRows + y] : 0;
  }
  bool deviceOpen() const { return fd_ >= 0; }

 private:
  void open(const std::string& devicePath);

  unsigned char pixels_[kBufferColumns * kRows] = {};
  unsigned char pages_[kPageBytes] = {};
  int fd_ = -1;
};
