#include "lcd/lcd_display.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>

#include "lcd/lcd_font.h"
#include "plugin/fixed_paths.h"
#include "plugin/fs_root.h"

namespace {

// Requests of the panel driver.
constexpr unsigned long kClearRequest = 25;
constexpr unsigned long kModeRequest = 4117;
constexpr int kGraphicMode = 1;

}  // namespace

CLCDDisplay::CLCDDisplay() { open(oruvel::rootedPath(oruvel::paths::kLcdDevice)); }

CLCDDisplay::CLCDDisplay(const std::string& devicePath) { open(devicePath); }

CLCDDisplay::~CLCDDisplay() {
  if (fd_ >= 0) ::close(fd_);
}

void CLCDDisplay::open(const std::string& devicePath) {
  fd_ = ::open(devicePath.c_str(), O_RDWR);
  if (fd_ < 0) {
    std::perror("LCD (/dev/dbox/lcd0)");
    return;
  }
  if (::ioctl(fd_, kClearRequest) < 0) std::perror("clear failed");
  int mode = kGraphicMode;
  if (::ioctl(fd_, kModeRequest, &mode) < 0) std::perror("graphic mode failed");
}

void CLCDDisplay::draw_point(int x, int y, int colour) {
  if (x < 0 || x >= kBufferColumns || y < 0 || y >= kRows) return;
  unsigned char& p = pixels_[x * kRows + y];
  switch (colour) {
    case 0: p = 0; break;
    case 1: p = 1; break;
    case 2: p = p == 1 ? 0 : 1; break;
    default: break;
  }
}

void CLCDDisplay::draw_char(int x, int y, char ch) {
  const unsigned char* glyph = lcd_font + static_cast<unsigned char>(ch) * 8;
  for (int r = 0; r < 8; ++r) {
    // Wide arithmetic: a cell near the ends of int must not overflow.
    const std::int64_t py = static_cast<std::int64_t>(y) + r;
    if (py < 0 || py >= kRows || invalid_row(static_cast<int>(py))) continue;
    for (int k = 0; k < 8; ++k) {
      const std::int64_t px = static_cast<std::int64_t>(x) + k;
      if (px < 0 || px >= kColumns || invalid_col(static_cast<int>(px))) continue;
      draw_point(static_cast<int>(px), static_cast<int>(py), (glyph[r] >> (7 - k)) & 1);
    }
  }
}

void CLCDDisplay::draw_string(int x, int y, const char* s) {
  if (!s) return;
  // Characters wholly right of the visible area are drawn nowhere, so the
  // walk ends there and x never runs past the end of int.
  for (std::int64_t cx = x; *s && cx < kColumns; ++s, cx += 8) {
    if (cx > -8) draw_char(static_cast<int>(cx), y, *s);
  }
}

void CLCDDisplay::convert_data() {
  for (int x = 0; x < kColumns; ++x) {
    const unsigned char* column = pixels_ + x * kRows;
    for (int p = 0; p < kPages; ++p) {
      unsigned char strip = 0;
      for (int b = 0; b < 8; ++b)
        if (column[p * 8 + b] == 1) strip |= static_cast<unsigned char>(1u << b);
      pages_[p * kColumns + x] = strip;
    }
  }
}

void CLCDDisplay::update() {
  convert_data();
  if (fd_ < 0) return;
  // One call; the driver takes a whole picture per write. Only a signal
  // that interrupted it before anything was written is worth a retry.
  while (::write(fd_, pages_, sizeof pages_) < 0 && errno == EINTR) {
  }
}
