#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "lcd/lcd_display.h"
#include "lcd/lcd_font.h"
#include "plugin/fs_root.h"
#include "tests/support/temp_root.h"

namespace {

// Glyph pixel (k, r) of code c: 1 lit, 0 dark.
int glyphBit(unsigned char c, int k, int r) { return (lcd_font[c * 8 + r] >> (7 - k)) & 1; }

int litCount(const CLCDDisplay& lcd) {
  int n = 0;
  for (int i = 0; i < CLCDDisplay::kBufferColumns * CLCDDisplay::kRows; ++i) n += lcd.pixels()[i];
  return n;
}

// A display whose device is missing: drawing happens in memory only.
struct MemoryDisplay {
  testsupport::TempRoot root;
  std::string messages;
  CLCDDisplay* lcd;
  MemoryDisplay() {
    testing::internal::CaptureStderr();
    lcd = new CLCDDisplay(root.at("/dev/dbox/lcd0"));
    messages = testing::internal::GetCapturedStderr();
  }
  ~MemoryDisplay() { delete lcd; }
};

TEST(LcdDisplay, MissingDeviceIsReportedAndDrawingStillWorks) {
  testsupport::TempRoot root;
  oruvel::setFsRoot(root.path());
  testing::internal::CaptureStderr();
  CLCDDisplay lcd;  // the device path under the root does not exist
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(err, "LCD (/dev/dbox/lcd0): No such file or directory\n");
  EXPECT_FALSE(lcd.deviceOpen());

  lcd.draw_char(0, 0, 'A');
  testing::internal::CaptureStderr();
  lcd.update();  // fails silently
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(lcd.pages()[0], 0x78);
  EXPECT_EQ(lcd.pixel(3, 0), 1);
}

TEST(LcdDisplay, DeviceThatRefusesTheRequestsIsReportedTwice) {
  testsupport::TempRoot root;
  root.write("/dev/dbox/lcd0", "");  // a plain file: both requests fail
  testing::internal::CaptureStderr();
  {
    CLCDDisplay lcd(root.at("/dev/dbox/lcd0"));
    EXPECT_TRUE(lcd.deviceOpen());
  }
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("clear failed: "), std::string::npos) << err;
  EXPECT_NE(err.find("graphic mode failed: "), std::string::npos) << err;
  EXPECT_LT(err.find("clear failed"), err.find("graphic mode failed"));
}

TEST(LcdDisplay, CapitalAPacksIntoThePageBytes) {
  MemoryDisplay d;
  d.lcd->draw_char(0, 0, 'A');
  d.lcd->update();
  const unsigned char expected[8] = {0x78, 0x7C, 0x16, 0x13, 0x16, 0x7C, 0x78, 0x00};
  for (int i = 0; i < CLCDDisplay::kPageBytes; ++i)
    EXPECT_EQ(d.lcd->pages()[i], i < 8 ? expected[i] : 0) << "byte " << i;
}

TEST(LcdDisplay, PagesHoldEightRowsBitZeroOnTop) {
  MemoryDisplay d;
  d.lcd->draw_point(5, 9, 1);    // page 1, bit 1
  d.lcd->draw_point(119, 63, 1); // last page, last column, bit 7
  d.lcd->draw_point(125, 0, 1);  // held in memory, never shown
  d.lcd->convert_data();
  EXPECT_EQ(d.lcd->pages()[1 * 120 + 5], 0x02);
  EXPECT_EQ(d.lcd->pages()[7 * 120 + 119], 0x80);
  int lit = 0;
  for (int i = 0; i < CLCDDisplay::kPageBytes; ++i) lit += d.lcd->pages()[i] != 0;
  EXPECT_EQ(lit, 2);
}

TEST(LcdDisplay, CharactersAreClippedPixelByPixel) {
  MemoryDisplay d;
  CLCDDisplay& lcd = *d.lcd;
  lcd.draw_char(116, 0, '\xDB');  // full block at the right edge
  for (int x = 112; x < CLCDDisplay::kBufferColumns; ++x)
    for (int y = 0; y < 8; ++y) EXPECT_EQ(lcd.pixel(x, y), x >= 116 && x <= 119) << x << "," << y;

  lcd.draw_char(0, 60, '\xDB');  // bottom edge: only the top four rows
  for (int y = 56; y < 64; ++y) EXPECT_EQ(lcd.pixel(3, y), y >= 60) << y;
  EXPECT_EQ(litCount(lcd), 4 * 8 + 8 * 4);

  // Left of the edge: glyph columns 3..7 land on columns 0..4, not moved.
  lcd.draw_char(-3, 16, 'A');
  for (int r = 0; r < 8; ++r)
    for (int x = 0; x < 8; ++x)
      EXPECT_EQ(lcd.pixel(x, 16 + r), x < 5 ? glyphBit('A', x + 3, r) : 0) << x << "," << r;
}

TEST(LcdDisplay, CharacterPaintsItsWholeCellBackgroundIncluded) {
  MemoryDisplay d;
  d.lcd->draw_char(10, 10, '\xDB');
  d.lcd->draw_char(10, 10, ':');
  for (int r = 0; r < 8; ++r)
    for (int k = 0; k < 8; ++k) EXPECT_EQ(d.lcd->pixel(10 + k, 10 + r), glyphBit(':', k, r));
}

TEST(LcdDisplay, SixteenCharactersShowFourteenAndSevenColumns) {
  MemoryDisplay d;
  const char text[] = "ABCDEFGHIJKLMNOP";
  d.lcd->draw_string(1, 0, text);
  for (int x = 0; x < CLCDDisplay::kBufferColumns; ++x) {
    for (int r = 0; r < 8; ++r) {
      int expected = 0;
      if (x >= 1 && x < 120) expected = glyphBit(text[(x - 1) / 8], (x - 1) % 8, r);
      ASSERT_EQ(d.lcd->pixel(x, r), expected) << "column " << x << " row " << r;
    }
  }
  // The 15th character ('O') shows its left seven columns at 113..119.
  EXPECT_EQ(d.lcd->pixel(113, 1), glyphBit('O', 0, 1));
}

TEST(LcdDisplay, StringDrawsEveryCodeAsItsGlyph) {
  MemoryDisplay d;
  d.lcd->draw_string(0, 0, "a\nb");
  for (int r = 0; r < 8; ++r)
    for (int k = 0; k < 8; ++k) EXPECT_EQ(d.lcd->pixel(8 + k, r), glyphBit('\n', k, r));
  EXPECT_EQ(d.lcd->pixel(16 + 0, 1), glyphBit('b', 0, 1));
}

TEST(LcdDisplay, PointColours) {
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
  EXPECT_EQ(lcd.pixel(8, 8), 0);
  lcd.draw_point(9, 9, 7);  // no such colour
  EXPECT_EQ(lcd.pixel(9, 9), 0);
}

TEST(LcdDisplay, CoordinatesFarOutsideChangeNothing) {
  MemoryDisplay d;
  CLCDDisplay& lcd = *d.lcd;
  for (int v : {INT_MIN, INT_MIN + 3, -40, 132, 1000, INT_MAX - 3, INT_MAX}) {
    lcd.draw_point(v, 0, 1);
    lcd.draw_point(0, v, 1);
    lcd.draw_char(v, 0, '\xDB');
    lcd.draw_char(0, v, '\xDB');
    lcd.draw_string(v, 0, "\xDB\xDB\xDB\xDB");
    lcd.draw_string(0, v, "\xDB\xDB");
  }
  EXPECT_EQ(litCount(lcd), 0);
  lcd.draw_string(0, 0, nullptr);
  EXPECT_FALSE(lcd.invalid_col(0) || lcd.invalid_col(119) || lcd.invalid_row(0) || lcd.invalid_row(63));
  EXPECT_TRUE(lcd.invalid_col(-1) && lcd.invalid_col(120) && lcd.invalid_row(-1) && lcd.invalid_row(64));
}

}  // namespace
