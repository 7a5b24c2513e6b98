// The status text on the front-panel LCD as the desktop host's emulated
// panel shows it after the main window's status tick.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lcd/lcd_font.h"
#include "tests/plugin/plugin_world.h"

namespace {

using testsupport::TempRoot;

// A 132 x 64 plain PBM read back: pixel (x, y) lit is bits[y * 132 + x].
struct Picture {
  std::string header;
  std::vector<int> bits;
  int at(int x, int y) const { return bits[y * 132 + x]; }
};

Picture readPbm(const std::string& path) {
  Picture p;
  const std::string text = testsupport::readFile(path);
  std::size_t pos = 0;
  for (int line = 0; line < 2 && pos != std::string::npos; ++line) {
    pos = text.find('\n', pos);
    if (pos != std::string::npos) ++pos;
  }
  if (pos == std::string::npos) return p;
  p.header = text.substr(0, pos);
  for (; pos < text.size(); ++pos)
    if (text[pos] == '0' || text[pos] == '1') p.bits.push_back(text[pos] - '0');
  return p;
}

// The character in text cell `cell` of text row `row`, found by its glyph
// ('?' when no glyph matches; every blank glyph reads as a blank).
char cellText(const Picture& p, int row, int cell) {
  for (int code = 0; code < 256; ++code) {
    bool same = true;
    for (int r = 0; r < 8 && same; ++r)
      for (int k = 0; k < 8 && same; ++k)
        same = p.at(1 + 8 * cell + k, 8 + 8 * row + r) == ((lcd_font[code * 8 + r] >> (7 - k)) & 1);
    if (same) return code == 0 || code == 0xFF ? ' ' : static_cast<char>(code);
  }
  return '?';
}

std::vector<std::string> textRows(const Picture& p) {
  std::vector<std::string> rows;
  for (int row = 0; row < 7; ++row) {
    std::string s;
    for (int cell = 0; cell < 14; ++cell) s += cellText(p, row, cell);
    rows.push_back(s);
  }
  return rows;
}

int litOutsideTheText(const Picture& p) {
  int lit = 0;
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 132; ++x)
      if (y < 8 || x == 0 || x >= 113) lit += p.at(x, y);
  return lit;
}

TEST(LcdStatus, TickLaysTitleAndRipperLineOutOnThePanel) {
  TempRoot root;
  plugintest::writeWorld(root);
  // answer 2 keeps any left-over ripper of someone else alive.
  auto run = testsupport::runHost(root,
                                  "answer 2\nwait 2900\nlcd " + root.at("/before.pbm") +
                                      "\nwait 100\nlcd " + root.at("/after.pbm") + "\nlcdlock\n",
                                  {"--title", "Radio X - Song"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.err.find("LCD ("), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find("failed"), std::string::npos) << run.err;

  const Picture before = readPbm(root.at("/before.pbm"));
  ASSERT_EQ(before.bits.size(), 132u * 64u) << before.header;
  int lit = 0;
  for (int b : before.bits) lit += b;
  EXPECT_EQ(lit, 0) << "nothing is drawn before the first tick";

  const Picture after = readPbm(root.at("/after.pbm"));
  ASSERT_EQ(after.header, "P1\n132 64\n");
  ASSERT_EQ(after.bits.size(), 132u * 64u);
  const std::vector<std::string> expected = {
      "Oruvel V0.2 PL", "AY:Radio X - S", "ong  RIP: lumo", "ripper is not ",
      "running.      ", "              ", "              "};
  EXPECT_EQ(textRows(after), expected);
  EXPECT_EQ(litOutsideTheText(after), 0);
  // The host's LCD is locked again after the drawing.
  EXPECT_TRUE(run.has("lcdlock locked=1 count=1 locks=1 unlocks=1")) << run.out;
}

TEST(LcdStatus, RipperLineEndingInNewlineShowsTheRingGlyph) {
  TempRoot root;
  plugintest::writeWorld(root);
  root.write("/tmp/lumorip", "12 MB\n");
  auto run = testsupport::runHost(root, "answer 2\nwait 3000\nlcd " + root.at("/after.pbm") + "\n");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const std::vector<std::string> rows = textRows(readPbm(root.at("/after.pbm")));
  ASSERT_EQ(rows.size(), 7u);
  // "Oruvel V0.2 PLAY:" + "" + "  RIP: " + "12 MB\n": 30 cells.
  EXPECT_EQ(rows[0], "Oruvel V0.2 PL");
  EXPECT_EQ(rows[1], "AY:  RIP: 12 M");
  EXPECT_EQ(rows[2], "B\n            ");
}

}  // namespace
