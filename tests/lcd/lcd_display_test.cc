// The LCD picture in memory, its packing into pages, and the status text
// laid out on it.
#include <gtest/gtest.h>

#include <climits>
#include <regex>
#include <string>

#include "base/fs_root.h"
#include "lcd/lcd_display.h"
#include "lcd/lcd_font.h"
#include "lcd/status_layout.h"
#include "tests/support/temp_root.h"

namespace {

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

// Each cell of the seven status rows shows the glyph of `text`, blanks after it.
void expectStatus(const CLCDDisplay& lcd, const std::string& text) {
  for (int n = 0; n < 98; ++n)
    for (int r = 0; r < 8; ++r)
      for (int k = 0; k < 8; ++k)
        ASSERT_EQ(lcd.pixel(1 + n % 14 * 8 + k, 8 + n / 14 * 8 + r),
                  (lcd_font[static_cast<unsigned char>(n < int(text.size()) ? text[n] : ' ') * 8 + r] >> (7 - k)) & 1)
            << "cell " << n << " glyph pixel " << k << "," << r;
}

// Every glyph's placement and packing: ReceiverBytes.LcdPagesForEveryCharacterCode.
TEST(LcdDisplay, DevicesThatAreMissingOrRefuseAreReportedAndDrawingOutsideIsHeldOrDropped) {
  testsupport::TempRoot root;
  oruvel::setFsRoot(root.path());
  CaptureStderr();
  CLCDDisplay lcd;  // the device path under the root does not exist
  EXPECT_EQ(GetCapturedStderr(), "LCD (/dev/dbox/lcd0): No such file or directory\n");
  lcd.draw_char(0, 0, 'A');
  CaptureStderr();
  lcd.update();  // fails silently, the pages are packed all the same
  EXPECT_EQ(GetCapturedStderr(), "");
  EXPECT_EQ(lcd.pages()[0], 0x78);
  lcd.draw_char(0, 0, ' ');
  lcd.draw_char(116, 0, '\xDB');  // text stops at the last shown column
  EXPECT_TRUE(lcd.pixel(119, 0) && !lcd.pixel(120, 0));
  lcd.draw_char(116, 0, ' ');
  lcd.draw_point(125, 0, 1);  // a point there is held, never shown
  EXPECT_EQ(lcd.pixel(125, 0), 1);
  lcd.convert_data();
  for (int i = 0; i < CLCDDisplay::kPageBytes; ++i) ASSERT_EQ(lcd.pages()[i], 0) << "byte " << i;
  lcd.draw_point(125, 0, 0);
  lcd.draw_point(7, 7, 2);
  EXPECT_EQ(lcd.pixel(7, 7), 1);  // dark inverted is lit
  for (int colour : {1, 2, 2, 2}) lcd.draw_point(7, 7, colour);
  EXPECT_EQ(lcd.pixel(7, 7), 0);  // lit inverted three times is dark
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
  // Nothing past the held columns lands in the packed pages behind the picture.
  for (int i = 0; i < CLCDDisplay::kPageBytes; ++i) ASSERT_EQ(lcd.pages()[i], 0) << "page byte " << i;

  root.write("/dev/dbox/lcd0", "");  // a plain file: both requests fail
  CaptureStderr();
  const long filesBefore = testsupport::openDescriptors();
  { CLCDDisplay refusing; }
  EXPECT_EQ(testsupport::openDescriptors(), filesBefore) << "a display that goes closes its device";
  const std::string err = GetCapturedStderr();  // each with the system's own error text
  EXPECT_TRUE(std::regex_match(err, std::regex("clear failed: .+\ngraphic mode failed: .+\n"))) << err;
}

TEST(LcdDisplay, StatusTextFillsSevenRowsOfFourteenAndTouchesNothingElse) {
  // A NUL byte does not end the row early: it shows blank, like glyph 0.
  const oruvel::StatusRows rows = oruvel::statusRows(std::string("ab\ncd\x01") + '\0' + "e");
  EXPECT_STREQ(rows[0].data(), "ab\ncd\x01 e      ");
  EXPECT_STREQ(rows[1].data(), "              ");
  std::string text;
  for (int i = 0; i < 120; ++i) text += static_cast<char>('!' + i % 90);
  testsupport::TempRoot root;
  CaptureStderr();
  CLCDDisplay lcd(root.at("/dev/dbox/lcd0"));  // missing: drawn in memory only
  GetCapturedStderr();
  for (int x = 0; x < 120; ++x)
    for (int y = 0; y < 64; ++y) lcd.draw_point(x, y, 1);
  oruvel::layoutStatusText(lcd, text);
  expectStatus(lcd, text.substr(0, 98));  // the rest of a long text dropped
  // The top band, column 0 and columns 113..119 keep what they had.
  for (int x = 0; x < 120; ++x)
    for (int y = 0; y < 64; ++y)
      if (y < 8 || x == 0 || x >= 113) { ASSERT_EQ(lcd.pixel(x, y), 1) << x << "," << y; }
  EXPECT_EQ(lcd.pages()[0], 0xFF);  // update() packed the picture
  oruvel::layoutStatusText(lcd, "Oruvel V0.2 PLAY:  RIP: 12 MB\n");  // no remains; a newline shows its glyph
  expectStatus(lcd, "Oruvel V0.2 PLAY:  RIP: 12 MB\n");
}

}  // namespace
