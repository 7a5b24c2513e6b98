// The main window's status tick: the ripper line and the red key's text
// follow the ripper's progress file, whatever the red key last did.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/plugin/plugin_world.h"

namespace {

using namespace plugintest;
using testsupport::TempRoot;

const char* kRipStatus = "pos=(130,390) size=350x30 text=";
const char* kRipButton = "help=\"Press to start rippering. Press again to stop it.\"";

TEST(Status, ProgressFileDrivesTheRipperLine) {
  struct Case {
    const char* file;  // nullptr: no progress file
    std::string status;
    const char* button;
  } cases[] = {
      {nullptr, "\"lumoripper is not running.\"", "text=\"Rip\""},
      {"track 1: 345 kB\nmore\n", "\"track 1: 345 kB\\n\"", "text=\"Stop\""},
      {"no newline", "\"no newline\"", "text=\"Stop\""},
      // Recording but nothing to show yet: the line stays what it was.
      {"", "\"\"", "text=\"Stop\""},
  };
  for (const Case& c : cases) {
    TempRoot root;
    writeWorld(root);
    if (c.file) root.write("/tmp/lumorip", c.file);
    auto run = testsupport::runHost(root, "answer 2\nwait 3000\ndump\n");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    auto blocks = dumps(run);
    ASSERT_EQ(blocks.size(), 1u) << run.out;
    EXPECT_NE(lineWith(blocks[0], kRipStatus + c.status), "") << blocks[0];
    EXPECT_NE(lineWith(blocks[0], kRipButton).find(c.button), std::string::npos) << blocks[0];
  }
}

TEST(Status, TickCorrectsTheButtonButNotWhatTheNextPressDoes) {
  TempRoot root;
  auto paths = writeWorld(root);
  // No station chosen: the press starts nothing but says Stop; the tick
  // sees no ripper and says Rip; the next press still takes the stop path.
  auto run = testsupport::runHost(
      root, "answer 2\nkey red\ndump\nservice\nwait 3000\ndump\nservice\nkey red\ndump\n");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  auto blocks = dumps(run);
  ASSERT_EQ(blocks.size(), 3u) << run.out;
  EXPECT_NE(lineWith(blocks[0], "text=\"no station chosen: lumoripper not started.\""), "");
  EXPECT_FALSE(root.exists("/tmp/lumorip"));
  EXPECT_TRUE(std::filesystem::is_empty(paths.ripdir));
  EXPECT_NE(lineWith(blocks[0], kRipButton).find("text=\"Stop\""), std::string::npos);
  EXPECT_NE(lineWith(blocks[1], kRipButton).find("text=\"Rip\""), std::string::npos);
  EXPECT_NE(lineWith(blocks[1], std::string(kRipStatus) + "\"lumoripper is not running.\""), "");
  EXPECT_NE(lineWith(blocks[2], kRipButton).find("text=\"Rip\""), std::string::npos);
  EXPECT_NE(lineWith(blocks[2], std::string(kRipStatus) + "\"lumoripper is not running.\""), "")
      << blocks[2];
}

}  // namespace
