// The main window as the host shows it: every widget at its place with its
// texts, keys and help, the focus, and the status timer's first tick.
#include <algorithm>
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "tests/plugin/plugin_world.h"

namespace {

using namespace plugintest;
using testsupport::TempRoot;

std::vector<std::string> splitLines(const std::string& block) {
  std::vector<std::string> lines;
  std::istringstream in(block);
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

TEST(MainWindow, LayoutAsBuilt) {
  TempRoot root;
  writeWorld(root);
  auto run = testsupport::runHost(root, "answer 2\ndump\n");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  auto blocks = dumps(run);
  ASSERT_GE(blocks.size(), 1u) << run.out;
  auto lines = splitLines(blocks[0]);
  const std::vector<std::string> expected = {
      "window eWindow \"Oruvel V0.2 by kWIBEL\" client=(70,60) 560x460 running",
      "  eLabel pos=(10,10) size=80x30 text=\"Genre\" deco=eLabel",
      "  eComboBox pos=(80,10) size=240x30 text=\"Rock\" help=\"Select your Shoutcast Genre\" "
      "deco=eComboBox *focus*",
      "    entry key=1 \"local:lumostations.xml\"",
      "    entry key=2 \"local: stations.xml\"",
      "    entry key=3 \"Pop\"",
      "    entry key=4 \"Rock\" *current*",
      "  eTextInputField name=\"input_bitrate\" pos=(340,10) size=50x30 text=\"0\" "
      "help=\"Enter your own bitrate.\" hint=\"Example: 128 default / 0 disable this function\" "
      "max=5 chars=\"1234567890\" deco=eNumber",
      "  eTextInputField name=\"input_genre\" pos=(400,10) size=150x30 text=\"Metal\" "
      "help=\"Enter your own genre.\" hint=\"Example: Metal\" max=10 deco=eNumber",
      "  eLabel pos=(10,50) size=520x30 text=\" \" deco=eLabel",
      "  eListBox pos=(10,80) size=540x230 text=\"\" count=1 top=0 rows=11 deco=eListBox",
      "    entry key=0 \"[leave listbox]\" *highlighted*",
      "  eLabel pos=(10,310) size=540x30 text=\" \" deco=eLabel",
      "  eButton pos=(10,350) size=100x30 text=\"Play\" help=\"Press to listen to the radio "
      "station.\" shortcut=green deco=eButton",
      "  eButton pos=(115,350) size=10x30 text=\"M\" help=\"Press OK to minimize the window.\" "
      "deco=eButton",
      "  eLabel pos=(130,350) size=350x30 text=\" \" deco=eLabel",
      "  eButton pos=(520,350) size=30x30 text=\"\" help=\"Save selected radio station.\" "
      "shortcut=yellow deco=eButton",
      "  eButton pos=(10,390) size=100x30 text=\"Rip\" help=\"Press to start rippering. Press "
      "again to stop it.\" shortcut=red deco=eButton",
      "  eLabel pos=(130,390) size=350x30 text=\"lumoripper is not running.\" deco=eLabel",
      "  eStatusBar pos=(10,430) size=540x30 text=\"Select your Shoutcast Genre\" "
      "deco=eStatusBar",
  };
  // The list box's row count is the host's; compare everything else exactly.
  ASSERT_EQ(lines.size(), expected.size()) << blocks[0];
  for (size_t i = 0; i < expected.size(); ++i) {
    std::string line = lines[i], want = expected[i];
    if (want.find("eListBox ") != std::string::npos) {
      line.erase(std::min(line.size(), line.find(" rows=")));
      want.erase(std::min(want.size(), want.find(" rows=")));
    }
    EXPECT_EQ(line, want) << "widget line " << i;
  }
}

TEST(MainWindow, StatusTickComesEveryThreeSeconds) {
  TempRoot root;
  writeWorld(root);
  // The title is what the host's player answers for the running service.
  auto run = testsupport::runHost(
      root, "answer 2\nwait 2999\ndump\nlcdlock\nwait 1\ndump\nlcdlock\nwait 6000\nlcdlock\n",
      {"--title", "Radio X - Song"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  auto blocks = dumps(run);
  ASSERT_EQ(blocks.size(), 2u) << run.out;
  EXPECT_NE(lineWith(blocks[0], "pos=(130,350) size=350x30 text=\" \""), "") << blocks[0];
  EXPECT_NE(lineWith(blocks[1], "pos=(130,350) size=350x30 text=\"Radio X - Song\""), "")
      << blocks[1];
  EXPECT_NE(lineWith(blocks[1], "text=\"Rip\""), "");
  // The host's LCD is released for each tick only and locked again after.
  auto locks = run.linesWith("lcdlock ");
  ASSERT_EQ(locks.size(), 3u);
  EXPECT_EQ(locks[0], "lcdlock locked=1 count=1 locks=0 unlocks=0");
  EXPECT_EQ(locks[1], "lcdlock locked=1 count=1 locks=1 unlocks=1");
  EXPECT_EQ(locks[2], "lcdlock locked=1 count=1 locks=3 unlocks=3");
}

}  // namespace
