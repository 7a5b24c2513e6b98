#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "lcd/lcd_display.h"
#include "plugin/fs_root.h"
#include "tests/lcd/lcd_test_support.h"

namespace {

using lcdtest::glyphBit;
using lcdtest::MemoryDisplay;

int litCount(const CLCDDisplay& lcd) {
  int n = 0;
  for (int i = 0; i < CLCDDisplay::kBufferColumns * CLCDDisplay::kRows; ++i) n += lcd.pixels()[i];
  return n;
}

TEST(LcdDisplay, MissingDeviceIsReportedAndDrawingStillWorks) {
  testsupport::TempRoot root;
  oruvel::setFsRoot(root.path());
  testing::internal::CaptureStderr();
  CLCDDisplay lcd;  // the device path under the root does not exist
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "LCD (/dev/dbox/lcd0): No such file or directory\n");
  EXPECT_FALSE(lcd.deviceOpen());

  lcd.draw_char(0, 0, 'A');
  testing::internal::CaptureStderr();
  lcd.update();  // fails silently
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(lcd.pages()[0], 0x78);
}

TEST(LcdDisplay, DeviceThatRefusesTheRequestsIsReportedTwice) {
  testsupport::TempRoot root;
  root.write("/dev/dbox/lcd0", "");  // a plain file: both requests fail
  testing::internal::CaptureStderr();
  { CLCDDisplay lcd(root.at("/dev/dbox/lcd0")); }
  const std::string err = testing::internal::GetCapturedStderr();
  // Each with the system's error text, which differs between systems.
  EXPECT_EQ(err.rfind("clear failed: ", 0), 0u) << err;
  const std::size_t second = err.find('\n') + 1;
  EXPECT_EQ(err.compare(second, 21, "graphic mode failed: "), 0) << err;
  EXPECT_EQ(err.find('\n', second) + 1, err.size()) << err;
}

TEST(LcdDisplay, PackingIntoPages) {
  MemoryDisplay d;
  d.lcd->draw_char(0, 0, 'A');
  d.lcd->update();
  const unsigned char a[8] = {0x78, 0x7C, 0x16, 0x13, 0x16, 0x7C, 0x78, 0x00};
  for (int i = 0; i < CLCDDisplay::kPageBytes; ++i)
    EXPECT_EQ(d.lcd->pages()[i], i < 8 ? a[i] : 0) << "byte " << i;

  d.lcd->draw_char(0, 0, ' ');
  d.lcd->draw_point(5, 9, 1);     // page 1, bit 1
  d.lcd->draw_point(119, 63, 1);  // last page, last column, bit 7
  d.lcd->draw_point(125, 0, 1);   // held in memory, never shown
  d.lcd->convert_data();
  int nonZero = 0;
  for (int i = 0; i < CLCDDisplay::kPageBytes; ++i) nonZero += d.lcd->pages()[i] != 0;
  EXPECT_EQ(nonZero, 2);
  EXPECT_EQ(d.lcd->pages()[1 * 120 + 5], 0x02);
  EXPECT_EQ(d.lcd->pages()[7 * 120 + 119], 0x80);
}

TEST(LcdDisplay, CharactersPaintTheirWholeCellClippedPixelByPixel) {
  MemoryDisplay d;
  CLCDDisplay& lcd = *d.lcd;
  lcd.draw_char(116, 0, '\xDB');  // right edge: columns 116..119 only
  lcd.draw_char(0, 60, '\xDB');   // bottom edge: rows 60..63 only
  for (int x = 0; x < CLCDDisplay::kBufferColumns; ++x)
    for (int y = 0; y < 64; ++y)
      ASSERT_EQ(lcd.pixel(x, y), (x >= 116 && x < 120 && y < 8) || (x < 8 && y >= 60)) << x << "," << y;

  // Left of the edge: glyph columns 3..7 land on columns 0..4, not moved;
  // the glyph's dark pixels darken what was lit before.
  lcd.draw_char(0, 16, '\xDB');
  lcd.draw_char(-3, 16, 'A');
  for (int r = 0; r < 8; ++r)
    for (int x = 0; x < 8; ++x)
      EXPECT_EQ(lcd.pixel(x, 16 + r), x < 5 ? glyphBit('A', x + 3, r) : 1) << x << "," << r;
}

TEST(LcdDisplay, SixteenCharactersShowFourteenAndSevenColumns) {
  MemoryDisplay d;
  const char text[] = "ABCDEFGHIJKLMNOP";
  d.lcd->draw_string(1, 0, text);
  for (int x = 0; x < CLCDDisplay::kBufferColumns; ++x)
    for (int r = 0; r < 8; ++r) {
      const int expected = x >= 1 && x < 120 ? glyphBit(text[(x - 1) / 8], (x - 1) % 8, r) : 0;
      ASSERT_EQ(d.lcd->pixel(x, r), expected) << "column " << x << " row " << r;
    }
}

TEST(LcdDisplay, PointColoursAndCoordinatesFarOutside) {
  MemoryDisplay d;
  CLCDDisplay& lcd = *d.lcd;
  lcd.draw_point(7, 7, 2);
  EXPECT_EQ(lcd.pixel(7, 7), 1);  // dark becomes lit
  lcd.draw_point(7, 7, 2);
  EXPECT_EQ(lcd.pixel(7, 7), 0);  // and back
  lcd.draw_point(8, 8, 1);
  lcd.draw_point(8, 8, 2);
  lcd.draw_point(8, 8, 2);
  EXPECT_EQ(lcd.pixel(8, 8), 1);  // two inversions restore a lit pixel
  lcd.draw_point(8, 8, 0);
  lcd.draw_point(9, 9, 7);  // no such colour
  EXPECT_EQ(litCount(lcd), 0);

  for (int v : {INT_MIN, INT_MIN + 3, -40, 132, 1000, INT_MAX - 3, INT_MAX}) {
    lcd.draw_point(v, 0, 1);
    lcd.draw_point(0, v, 1);
    lcd.draw_char(v, 0, '\xDB');
    lcd.draw_char(0, v, '\xDB');
    lcd.draw_string(v, 0, "\xDB\xDB\xDB\xDB");
    lcd.draw_string(0, v, "\xDB\xDB");
  }
  lcd.draw_string(0, 0, nullptr);
  EXPECT_EQ(litCount(lcd), 0);
}

}  // namespace
