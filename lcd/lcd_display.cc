#include "lcd/lcd_display.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>

#include "base/fixed_paths.h"
#include "base/fs_root.h"
#include "base/lcd_device.h"
#include "lcd/lcd_font.h"

#ifndef ORUVEL_RECEIVER_LCD
// Optional: a host that installs no device calls of its own does not have
// it, and the address is then null.
#pragma weak eLCDDeviceInstalled
#endif

namespace {

// Requests of the panel driver.
constexpr unsigned long kClearRequest = 25;
constexpr unsigned long kModeRequest = 4117;
constexpr int kGraphicMode = 1;

// The system's own device calls, as the receiver makes them.
const eLCDDeviceCalls kSystemCalls = {
    [](const char* path, int flags) { return ::open(path, flags); },
    [](int fd, unsigned long request, void* argument) { return ::ioctl(fd, request, argument); },
    [](int fd, const void* data, std::size_t size) { return ::write(fd, data, size); },
    [](int fd) { return ::close(fd); },
};

// The host's device calls where it installed its own (the desktop host's
// emulated panel), otherwise the system's. The receiver's build makes the
// system's calls only.
const eLCDDeviceCalls& device() {
#ifdef ORUVEL_RECEIVER_LCD
  return kSystemCalls;
#else
  const eLCDDeviceCalls* host = eLCDDeviceInstalled ? eLCDDeviceInstalled() : nullptr;
  return host ? *host : kSystemCalls;
#endif
}

}  // namespace

CLCDDisplay::CLCDDisplay() { open(oruvel::rootedPath(oruvel::paths::kLcdDevice)); }

CLCDDisplay::CLCDDisplay(const std::string& devicePath) { open(devicePath); }

CLCDDisplay::~CLCDDisplay() {
  if (fd_ >= 0) device().close(fd_);
}

void CLCDDisplay::open(const std::string& devicePath) {
  fd_ = device().open(devicePath.c_str(), O_RDWR);
  if (fd_ < 0) {
    std::perror("LCD (/dev/dbox/lcd0)");
    return;
  }
  if (device().ioctl(fd_, kClearRequest, nullptr) < 0) std::perror("clear failed");
  int mode = kGraphicMode;
  if (device().ioctl(fd_, kModeRequest, &mode) < 0) std::perror("graphic mode failed");
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
  // The glyph rows and columns that land inside the visible area; wide
  // arithmetic, so a cell near the ends of int cannot overflow.
  const int r0 = static_cast<int>(std::clamp<std::int64_t>(-static_cast<std::int64_t>(y), 0, 8));
  const int r1 = static_cast<int>(std::clamp<std::int64_t>(kRows - static_cast<std::int64_t>(y), 0, 8));
  const int k0 = static_cast<int>(std::clamp<std::int64_t>(-static_cast<std::int64_t>(x), 0, 8));
  const int k1 = static_cast<int>(std::clamp<std::int64_t>(kColumns - static_cast<std::int64_t>(x), 0, 8));
  for (int r = r0; r < r1; ++r) {
    const unsigned bits = glyph[r];
    for (int k = k0; k < k1; ++k) pixels_[(x + k) * kRows + y + r] = (bits >> (7 - k)) & 1;
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
  while (device().write(fd_, pages_, sizeof pages_) < 0 && errno == EINTR) {
  }
}
