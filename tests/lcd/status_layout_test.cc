#include <gtest/gtest.h>

#include <string>

#include "lcd/lcd_display.h"
#include "lcd/lcd_font.h"
#include "lcd/status_layout.h"
#include "tests/support/temp_root.h"

namespace {

const std::string kRadioX = "Oruvel V0.2 PLAY:Radio X - Song  RIP: lumoripper is not running.";

std::string row(const oruvel::StatusRows& rows, int i) { return rows[i].data(); }

int glyphBit(unsigned char c, int k, int r) { return (lcd_font[c * 8 + r] >> (7 - k)) & 1; }

// Checks that cell `cell` of text row `i` on the display shows glyph c.
void expectCell(const CLCDDisplay& lcd, int i, int cell, unsigned char c) {
  for (int r = 0; r < 8; ++r)
    for (int k = 0; k < 8; ++k)
      ASSERT_EQ(lcd.pixel(1 + cell * 8 + k, 8 + 8 * i + r), glyphBit(c, k, r))
          << "row " << i << " cell " << cell << " glyph pixel " << k << "," << r;
}

struct Panel {
  testsupport::TempRoot root;
  CLCDDisplay* lcd;
  Panel() {
    testing::internal::CaptureStderr();  // no device here
    lcd = new CLCDDisplay(root.at("/dev/dbox/lcd0"));
    testing::internal::GetCapturedStderr();
  }
  ~Panel() { delete lcd; }
};

TEST(StatusLayout, RadioXSongFillsFiveRowsOfFourteen) {
  ASSERT_EQ(kRadioX.size(), 64u);
  const oruvel::StatusRows rows = oruvel::statusRows(kRadioX);
  EXPECT_EQ(row(rows, 0), "Oruvel V0.2 PL");
  EXPECT_EQ(row(rows, 1), "AY:Radio X - S");
  EXPECT_EQ(row(rows, 2), "ong  RIP: lumo");
  EXPECT_EQ(row(rows, 3), "ripper is not ");
  EXPECT_EQ(row(rows, 4), "running.      ");
  EXPECT_EQ(row(rows, 5), std::string(14, ' '));
  EXPECT_EQ(row(rows, 6), std::string(14, ' '));
}

TEST(StatusLayout, LongTextKeepsItsFirst98BytesAndControlCodes) {
  std::string text;
  for (int i = 0; i < 120; ++i) text += static_cast<char>('!' + i % 90);
  const oruvel::StatusRows rows = oruvel::statusRows(text);
  for (int i = 0; i < 7; ++i) EXPECT_EQ(row(rows, i), text.substr(14 * i, 14));

  const std::string withControls = std::string("ab\ncd\x01") + '\0' + "e";
  const oruvel::StatusRows c = oruvel::statusRows(withControls);
  EXPECT_EQ(row(c, 0), std::string("ab\ncd\x01 e      "));
}

TEST(StatusLayout, RowsAreDrawnAtTheirPlacesAndNothingElseIsTouched) {
  Panel p;
  CLCDDisplay& lcd = *p.lcd;
  for (int x = 0; x < 120; ++x)
    for (int y = 0; y < 64; ++y) lcd.draw_point(x, y, 1);

  oruvel::layoutStatusText(lcd, kRadioX);
  const oruvel::StatusRows rows = oruvel::statusRows(kRadioX);
  for (int i = 0; i < 7; ++i)
    for (int cell = 0; cell < 14; ++cell) expectCell(lcd, i, cell, static_cast<unsigned char>(rows[i][cell]));
  // The top band, column 0 and columns 113..119 keep what they had.
  for (int y = 0; y < 64; ++y) {
    EXPECT_EQ(lcd.pixel(0, y), 1) << y;
    for (int x = 113; x < 120; ++x) EXPECT_EQ(lcd.pixel(x, y), 1) << x << "," << y;
  }
  for (int x = 0; x < 120; ++x)
    for (int y = 0; y < 8; ++y) EXPECT_EQ(lcd.pixel(x, y), 1) << x << "," << y;
  // update() packed the picture: page 0 (the band) is all lit.
  EXPECT_EQ(lcd.pages()[0], 0xFF);
  EXPECT_EQ(lcd.pages()[119], 0xFF);
}

TEST(StatusLayout, ShorterTextLeavesNoRemainsAndNewlineShowsItsGlyph) {
  Panel p;
  CLCDDisplay& lcd = *p.lcd;
  oruvel::layoutStatusText(lcd, std::string(98, '\xDB'));
  // An empty title, and a ripper line that ends in a newline.
  const std::string text = "Oruvel V0.2 PLAY:  RIP: 12 MB\n";
  oruvel::layoutStatusText(lcd, text);
  const int nl = static_cast<int>(text.size()) - 1;
  for (int n = 0; n < 98; ++n) {
    const unsigned char c = n < nl ? text[n] : n == nl ? '\n' : ' ';
    expectCell(lcd, n / 14, n % 14, c);
  }
}

}  // namespace
