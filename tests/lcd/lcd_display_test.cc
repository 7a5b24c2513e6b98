// The LCD picture in memory, its packing into pages, and the status text
// laid out on it.
#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>

#include "lcd/lcd_display.h"
#include "lcd/lcd_font.h"
#include "lcd/status_layout.h"
#include "base/fs_root.h"
#include "tests/support/temp_root.h"

namespace {

// Glyph pixel (k, r) of code c: 1 lit, 0 dark.
int glyphBit(unsigned char c, int k, int r) { return (lcd_font[c * 8 + r] >> (7 - k)) & 1; }

// A display whose device is missing, so that it draws in memory only.
struct MemoryDisplay {
  testsupport::TempRoot root;
  std::unique_ptr<CLCDDisplay> lcd;
  MemoryDisplay() {
    testing::internal::CaptureStderr();
    lcd = std::make_unique<CLCDDisplay>(root.at("/dev/dbox/lcd0"));
    testing::internal::GetCapturedStderr();
  }
};

// Each cell of the seven status rows shows the glyph of `text`, blanks after it.
void expectStatus(const CLCDDisplay& lcd, const std::string& text) {
  for (int n = 0; n < 98; ++n)
    for (int r = 0; r < 8; ++r)
      for (int k = 0; k < 8; ++k)
        ASSERT_EQ(lcd.pixel(1 + n % 14 * 8 + k, 8 + n / 14 * 8 + r),
                  glyphBit(n < static_cast<int>(text.size()) ? text[n] : ' ', k, r))
            << "cell " << n << " glyph pixel " << k << "," << r;
}

TEST(LcdDisplay, DevicesThatAreMissingOrRefuseAreReported) {
  testsupport::TempRoot root;
  oruvel::setFsRoot(root.path());
  testing::internal::CaptureStderr();
  CLCDDisplay lcd;  // the device path under the root does not exist
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "LCD (/dev/dbox/lcd0): No such file or directory\n");
  EXPECT_FALSE(lcd.deviceOpen());
  lcd.draw_char(0, 0, 'A');
  testing::internal::CaptureStderr();
  lcd.update();  // fails silently, the pages are packed all the same
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(lcd.pages()[0], 0x78);

  root.write("/dev/dbox/lcd0", "");  // a plain file: both requests fail
  testing::internal::CaptureStderr();
  { CLCDDisplay refusing; }
  const std::string err = testing::internal::GetCapturedStderr();
  // Each with the system's error text, which differs between systems.
  EXPECT_EQ(err.rfind("clear failed: ", 0), 0u) << err;
  const std::size_t second = err.find('\n') + 1;
  EXPECT_EQ(err.compare(second, 21, "graphic mode failed: "), 0) << err;
  EXPECT_EQ(err.find('\n', second) + 1, err.size()) << err;
}

// Glyph placement, clipping at the panel's edges and page packing are fixed
// byte for byte by ReceiverBytes.LcdPagesForEveryCharacterCode; here what
// that digest cannot see.
TEST(LcdDisplay, HiddenColumnsColoursAndCoordinatesFarOutside) {
  MemoryDisplay d;
  CLCDDisplay& lcd = *d.lcd;
  lcd.draw_char(116, 0, '\xDB');  // text stops at the last shown column
  EXPECT_EQ(lcd.pixel(119, 0), 1);
  EXPECT_EQ(lcd.pixel(120, 0), 0);
  lcd.draw_char(116, 0, ' ');
  lcd.draw_point(125, 0, 1);  // a point there is held, never shown
  EXPECT_EQ(lcd.pixel(125, 0), 1);
  lcd.convert_data();
  for (int i = 0; i < CLCDDisplay::kPageBytes; ++i) ASSERT_EQ(lcd.pages()[i], 0) << "byte " << i;
  lcd.draw_point(125, 0, 0);

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
  for (int v : {INT_MIN, INT_MIN + 3, -40, 132, 1000, INT_MAX - 3, INT_MAX}) {
    lcd.draw_point(v, 0, 1);
    lcd.draw_point(0, v, 1);
    lcd.draw_char(v, 0, '\xDB');
    lcd.draw_char(0, v, '\xDB');
    lcd.draw_string(v, 0, "\xDB\xDB\xDB\xDB");
    lcd.draw_string(0, v, "\xDB\xDB");
  }
  lcd.draw_string(0, 0, nullptr);
  for (int i = 0; i < CLCDDisplay::kBufferColumns * CLCDDisplay::kRows; ++i) ASSERT_EQ(lcd.pixels()[i], 0) << i;
  // A point just past the held columns must not land in the packed pages
  // that sit behind the picture.
  for (int i = 0; i < CLCDDisplay::kPageBytes; ++i) ASSERT_EQ(lcd.pages()[i], 0) << "page byte " << i;
}

TEST(LcdDisplay, StatusTextFillsSevenRowsOfFourteenAndTouchesNothingElse) {
  // A NUL byte does not end the row early: it shows blank, like glyph 0.
  const oruvel::StatusRows rows = oruvel::statusRows(std::string("ab\ncd\x01") + '\0' + "e");
  EXPECT_STREQ(rows[0].data(), "ab\ncd\x01 e      ");
  EXPECT_STREQ(rows[1].data(), "              ");
  std::string text;
  for (int i = 0; i < 120; ++i) text += static_cast<char>('!' + i % 90);

  MemoryDisplay d;
  for (int x = 0; x < 120; ++x)
    for (int y = 0; y < 64; ++y) d.lcd->draw_point(x, y, 1);
  oruvel::layoutStatusText(*d.lcd, text);
  expectStatus(*d.lcd, text.substr(0, 98));  // the rest of a long text dropped
  // The top band, column 0 and columns 113..119 keep what they had.
  for (int x = 0; x < 120; ++x)
    for (int y = 0; y < 64; ++y)
      if (y < 8 || x == 0 || x >= 113) {
        ASSERT_EQ(d.lcd->pixel(x, y), 1) << x << "," << y;
      }
  EXPECT_EQ(d.lcd->pages()[0], 0xFF);  // update() packed the picture
  // A shorter text leaves no remains; a newline shows its glyph.
  oruvel::layoutStatusText(*d.lcd, "Oruvel V0.2 PLAY:  RIP: 12 MB\n");
  expectStatus(*d.lcd, "Oruvel V0.2 PLAY:  RIP: 12 MB\n");
}

}  // namespace
