// The player window behind "M": layout, its own refresh beside the main
// window's, and the way back to the main window.
#include <gtest/gtest.h>

#include <string>

#include "tests/plugin/plugin_world.h"

namespace {

using namespace plugintest;
using testsupport::TempRoot;

// From the genre selector down to "M": bitrate, genre, list, Play, M.
const char* kToMiniButton = "key down\nkey down\nkey down\nkey down\nkey down\n";

TEST(PlayerWindow, OpensRefreshesAndReturnsToPlay) {
  TempRoot root;
  auto paths = writeWorld(root);
  testsupport::writeFile(paths.picture, "still picture\n");
  root.write("/tmp/lumorip", "track 3: 512 kB\n");
  auto run = testsupport::runHost(
      root,
      std::string("answer 2\n") + kToMiniButton +
          "key ok\ndump\nservice\nlcdlock\nwait 2999\ndump\nservice\nwait 1\ndump\nservice\n"
          "lcdlock\nkey exit\ndump\n",
      {"--title", "Radio X - Song", "--title2", "Kestrel FM"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.linesWith("stillpicture \"" + paths.picture + "\"").size(), 1u) << run.out;

  auto blocks = dumps(run);
  ASSERT_EQ(blocks.size(), 4u) << run.out;
  // Only the player window is on screen; its labels start blank.
  const std::string playerAtStart =
      "window eWindow \"Oruvel player\" client=(70,100) 560x110 running\n"
      "  eLabel pos=(10,10) size=400x30 text=\" \" deco=eLabel\n"
      "  eLabel pos=(10,40) size=400x30 text=\" \" deco=eLabel\n"
      "  eLabel pos=(10,80) size=400x30 text=\" \" deco=eLabel\n";
  EXPECT_EQ(blocks[0], playerAtStart);
  EXPECT_EQ(blocks[1], playerAtStart) << "no refresh before three seconds";
  const std::string playerRefreshed =
      "window eWindow \"Oruvel player\" client=(70,100) 560x110 running\n"
      "  eLabel pos=(10,10) size=400x30 text=\"Radio X - Song\" deco=eLabel\n"
      "  eLabel pos=(10,40) size=400x30 text=\"Kestrel FM\" deco=eLabel\n"
      "  eLabel pos=(10,80) size=400x30 text=\"track 3: 512 kB\\n\" deco=eLabel\n";
  EXPECT_EQ(blocks[2], playerRefreshed);

  // Both windows' ticks drew the LCD, each between an unlock and a lock.
  auto locks = run.linesWith("lcdlock ");
  ASSERT_EQ(locks.size(), 2u);
  EXPECT_EQ(locks[0], "lcdlock locked=1 count=1 locks=0 unlocks=0");
  EXPECT_EQ(locks[1], "lcdlock locked=1 count=1 locks=2 unlocks=2");

  // Back in the main window, which kept ticking while hidden.
  EXPECT_EQ(blocks[3].rfind("window eWindow \"Oruvel V0.2 by kWIBEL\"", 0), 0u) << blocks[3];
  EXPECT_EQ(blocks[3].find("Oruvel player"), std::string::npos);
  EXPECT_NE(lineWith(blocks[3], "text=\"Play\""), "");
  EXPECT_NE(lineWith(blocks[3], "text=\"Play\"").find("*focus*"), std::string::npos) << blocks[3];
  EXPECT_NE(lineWith(blocks[3], "pos=(130,390) size=350x30 text=\"track 3: 512 kB\\n\""), "");
  EXPECT_NE(lineWith(blocks[3], "pos=(130,350) size=350x30 text=\"Radio X - Song\""), "");
}

TEST(PlayerWindow, WithoutPictureOrRipperLine) {
  TempRoot root;
  writeWorld(root);  // the still picture file is not there
  auto run = testsupport::runHost(root, std::string("answer 2\n") + kToMiniButton +
                                            "key ok\nwait 3000\ndump\nkey exit\n");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(run.linesWith("stillpicture").empty()) << run.out;
  auto blocks = dumps(run);
  ASSERT_EQ(blocks.size(), 1u) << run.out;
  // No ripper: the player shows one blank where the main window says so.
  EXPECT_NE(lineWith(blocks[0], "pos=(10,80) size=400x30 text=\" \""), "") << blocks[0];
  EXPECT_NE(lineWith(blocks[0], "pos=(10,10) size=400x30 text=\"\""), "") << blocks[0];
  EXPECT_TRUE(run.has("plugin_exec returned 0"));
}

}  // namespace
