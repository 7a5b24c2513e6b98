#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>

#include "lcd/lcd_font.h"

namespace {

std::string glyphHex(int code) {
  std::string s;
  char cell[4];
  for (int r = 0; r < 8; ++r) {
    std::snprintf(cell, sizeof cell, r ? " %02X" : "%02X", lcd_font[code * 8 + r]);
    s += cell;
  }
  return s;
}

bool glyphBlank(int code) {
  for (int r = 0; r < 8; ++r)
    if (lcd_font[code * 8 + r]) return false;
  return true;
}

TEST(LcdFont, TellingRowsOfTheCodePage437Layout) {
  EXPECT_EQ(glyphHex(0x00), "00 00 00 00 00 00 00 00");
  EXPECT_EQ(glyphHex(0x20), "00 00 00 00 00 00 00 00");
  EXPECT_EQ(glyphHex(0xFF), "00 00 00 00 00 00 00 00");
  EXPECT_EQ(glyphHex(0x01), "7E 81 A5 81 BD 99 81 7E");  // smiling face
  EXPECT_EQ(glyphHex(0x0A), "FF C3 99 BD BD 99 C3 FF");  // inverse ring
  EXPECT_EQ(glyphHex(0x30), "7C C6 DE FE F6 C6 7C 00");  // 0
  EXPECT_EQ(glyphHex(0x3A), "00 18 18 00 00 18 18 00");  // colon
  EXPECT_EQ(glyphHex(0x41), "10 38 6C C6 FE C6 C6 00");  // A
  EXPECT_EQ(glyphHex(0x61), "00 00 7C 06 7E C6 7E 00");  // a
  EXPECT_EQ(glyphHex(0xB1), "55 AA 55 AA 55 AA 55 AA");  // medium shade
  EXPECT_EQ(glyphHex(0xC4), "00 00 00 00 FF 00 00 00");  // box line
  EXPECT_EQ(glyphHex(0xDB), "FF FF FF FF FF FF FF FF");  // full block
}

// All 256 codes are drawn, each in a shape of its own (a code drawn with
// another code's glyph is a wrong character on the panel).
TEST(LcdFont, EveryGlyphIsDrawnInItsOwnShapeButTheThreeBlanks) {
  std::map<std::string, int> shapes;
  for (int code = 0; code < 256; ++code) {
    const bool blank = code == 0x00 || code == 0x20 || code == 0xFF;
    EXPECT_EQ(glyphBlank(code), blank) << "code 0x" << std::hex << code;
    if (blank) continue;
    auto [it, fresh] = shapes.emplace(glyphHex(code), code);
    EXPECT_TRUE(fresh) << std::hex << "0x" << code << " looks like 0x" << it->second;
  }
}

// Neighbouring characters and text rows stay apart: digits and letters
// leave the rightmost column free, and all but the descenders the bottom row.
TEST(LcdFont, LettersAndDigitsKeepTheirCellApart) {
  const std::string text = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  const std::string descenders = "gjpqyQ";
  for (unsigned char c : text) {
    const unsigned char* g = lcd_font + c * 8;
    for (int r = 0; r < 8; ++r) EXPECT_EQ(g[r] & 1, 0) << c << " row " << r;
    if (descenders.find(static_cast<char>(c)) == std::string::npos)
      EXPECT_EQ(g[7], 0) << c;
    else
      EXPECT_NE(g[7], 0) << c;
  }
}

}  // namespace
