#pragma once
// What the LCD tests share: glyph pixels of the font, and a display whose
// device is missing, so that it draws in memory only.
#include <gtest/gtest.h>

#include <memory>

#include "lcd/lcd_display.h"
#include "lcd/lcd_font.h"
#include "tests/support/temp_root.h"

namespace lcdtest {

// Glyph pixel (k, r) of code c: 1 lit, 0 dark.
inline int glyphBit(unsigned char c, int k, int r) { return (lcd_font[c * 8 + r] >> (7 - k)) & 1; }

struct MemoryDisplay {
  testsupport::TempRoot root;
  std::string messages;  // what the constructor reported
  std::unique_ptr<CLCDDisplay> lcd;
  MemoryDisplay() {
    testing::internal::CaptureStderr();
    lcd = std::make_unique<CLCDDisplay>(root.at("/dev/dbox/lcd0"));
    messages = testing::internal::GetCapturedStderr();
  }
};

}  // namespace lcdtest
