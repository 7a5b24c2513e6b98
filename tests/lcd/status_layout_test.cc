#include <gtest/gtest.h>

#include <string>

#include "lcd/status_layout.h"
#include "tests/lcd/lcd_test_support.h"

namespace {

using lcdtest::glyphBit;

const std::string kRadioX = "Oruvel V0.2 PLAY:Radio X - Song  RIP: lumoripper is not running.";

std::string row(const oruvel::StatusRows& rows, int i) { return rows[i].data(); }

// Checks that cell `cell` of text row `i` on the display shows glyph c.
void expectCell(const CLCDDisplay& lcd, int i, int cell, unsigned char c) {
  for (int r = 0; r < 8; ++r)
    for (int k = 0; k < 8; ++k)
      ASSERT_EQ(lcd.pixel(1 + cell * 8 + k, 8 + 8 * i + r), glyphBit(c, k, r))
          << "row " << i << " cell " << cell << " glyph pixel " << k << "," << r;
}

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
  // A NUL byte must not end the row early: it shows blank, like glyph 0.
  const oruvel::StatusRows c = oruvel::statusRows(std::string("ab\ncd\x01") + '\0' + "e");
  EXPECT_EQ(row(c, 0), std::string("ab\ncd\x01 e      "));
}

TEST(StatusLayout, RowsAreDrawnAtTheirPlacesAndNothingElseIsTouched) {
  lcdtest::MemoryDisplay d;
  CLCDDisplay& lcd = *d.lcd;
  for (int x = 0; x < 120; ++x)
    for (int y = 0; y < 64; ++y) lcd.draw_point(x, y, 1);
  oruvel::layoutStatusText(lcd, kRadioX);
  const oruvel::StatusRows rows = oruvel::statusRows(kRadioX);
  for (int i = 0; i < 7; ++i)
    for (int cell = 0; cell < 14; ++cell) expectCell(lcd, i, cell, static_cast<unsigned char>(rows[i][cell]));
  // The top band, column 0 and columns 113..119 keep what they had.
  for (int x = 0; x < 120; ++x)
    for (int y = 0; y < 64; ++y)
      if (y < 8 || x == 0 || x >= 113) {
        ASSERT_EQ(lcd.pixel(x, y), 1) << x << "," << y;
      }
  EXPECT_EQ(lcd.pages()[0], 0xFF);  // update() packed the picture
}

TEST(StatusLayout, ShorterTextLeavesNoRemainsAndNewlineShowsItsGlyph) {
  lcdtest::MemoryDisplay d;
  oruvel::layoutStatusText(*d.lcd, std::string(98, '\xDB'));
  // An empty title, and a ripper line that ends in a newline.
  const std::string text = "Oruvel V0.2 PLAY:  RIP: 12 MB\n";
  oruvel::layoutStatusText(*d.lcd, text);
  for (int n = 0; n < 98; ++n)
    expectCell(*d.lcd, n / 14, n % 14, n < static_cast<int>(text.size()) ? text[n] : ' ');
}

}  // namespace
