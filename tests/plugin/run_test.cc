// One run of the plug-in from the host's call to the hand-back: the ripper
// checks at entry and end, the configuration error, the clean-up, the
// about box and the restore of the service that played before.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/plugin/plugin_world.h"

namespace {

using namespace plugintest;
using testsupport::TempRoot;

const std::string kRunningBox =
    box("Oruvel", "0x23", "lumoripper is running. press OK to stopp ripping.");
const std::string kStopAtEntryBox =
    box("Oruvel", "0x21", "lumoripper will be stopped.\\nplease wait.");
const std::string kStopAtEndBox = box("Oruvel", "0x1", "lumoripper will be stopped.\\nplease wait.");
const char* kHostService = "1:0:1:1:1:1:0:0:0:0:";

TEST(Run, LeftOverRipperStoppedAtEntry) {
  TempRoot root;
  writeWorld(root);
  StandInRipper ripper(root);
  root.write("/tmp/lumopid", ripper.pidText() + "\n");
  auto run = testsupport::runHost(root, "answer 1\nanswer 1\ndump\n");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(ripper.endSignal(), SIGTERM);
  auto shown = boxes(run);
  ASSERT_EQ(shown.size(), 2u) << run.out;
  EXPECT_EQ(shown[0], kRunningBox);
  // The notice waits for the user before the ripper is stopped.
  EXPECT_EQ(shown[1], kStopAtEntryBox);
  EXPECT_EQ(run.linesWith("msgbox closed 1").size(), 2u);
  EXPECT_EQ(dumps(run).size(), 1u) << "the window runs after the check";
  EXPECT_FALSE(root.exists("/tmp/lumopid"));
  EXPECT_TRUE(root.exists("/tmp/lumopid.pid")) << "written again by the end check";
}

TEST(Run, LeftOverRipperKeptAtEntryStoppedAtEnd) {
  TempRoot root;
  writeWorld(root);
  StandInRipper ripper(root);
  root.write("/tmp/lumopid", ripper.pidText() + "\n");
  auto run = testsupport::runHost(root, "answer 2\ndump\nanswer 1\n");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  auto blocks = dumps(run);
  ASSERT_EQ(blocks.size(), 1u) << run.out;
  // The window opens on the ripper that was kept.
  EXPECT_NE(lineWith(blocks[0], "text=\"lumoripper is running. [PID: " + ripper.pidText() + "]\""),
            "")
      << blocks[0];
  EXPECT_NE(lineWith(blocks[0], "text=\"Stop\" help=\"Press to start rippering."), "");
  auto shown = boxes(run);
  ASSERT_EQ(shown.size(), 3u) << run.out;
  EXPECT_EQ(shown[0], kRunningBox);
  EXPECT_EQ(shown[1], kRunningBox);
  // At the end the notice is only on screen while the ripper is stopped.
  EXPECT_EQ(shown[2], kStopAtEndBox);
  EXPECT_EQ(run.linesWith("msgbox closed").size(), 2u) << run.out;
  EXPECT_EQ(ripper.endSignal(), SIGTERM);
  EXPECT_FALSE(root.exists("/tmp/lumopid"));
}

TEST(Run, MissingConfigurationEndsAtOnce) {
  TempRoot root;
  root.write("/tmp/lumonet", "page\n");
  auto run = testsupport::runHost(root, "dump\nservice\n");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(run.has("plugin_exec returned 1"));
  auto shown = boxes(run);
  ASSERT_EQ(shown.size(), 1u) << run.out;
  EXPECT_EQ(shown[0], box("Oruvel", "0x21", "Configuration read error!\\n"));
  EXPECT_FALSE(run.has("window eWindow"));
  EXPECT_FALSE(run.has("playService")) << "the host's service is not restored";
  EXPECT_TRUE(run.has(std::string("service \"") + kHostService + "\""));
  EXPECT_TRUE(root.exists("/tmp/lumonet")) << "no clean-up on this path";
}

TEST(Run, CloseValueDecidesTheAboutBoxAndCleanUpRuns) {
  {
    TempRoot root;
    writeWorld(root);
    root.write("/tmp/lumonet", "page\n");
    root.write("/tmp/lumolist.m3u", "http://x/\n");
    // Left behind by a ripper that is gone: pidof finds none, so there is
    // no question and the stale file goes.
    root.write("/tmp/lumopid", "4711\n");
    auto run = testsupport::runHost(root, "dump\nkey exit\n");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(boxes(run).empty()) << run.out;
    EXPECT_FALSE(root.exists("/tmp/lumopid"));
    ASSERT_EQ(dumps(run).size(), 1u);
    EXPECT_NE(lineWith(dumps(run)[0], "text=\"lumoripper is not running.\""), "");
    EXPECT_FALSE(root.exists("/tmp/lumonet"));
    EXPECT_FALSE(root.exists("/tmp/lumolist.m3u"));
    EXPECT_TRUE(root.exists("/tmp/lumopid.pid"));
    EXPECT_EQ(run.linesWith("playService"),
              std::vector<std::string>{std::string("playService \"") + kHostService + "\" mode=40"});
    EXPECT_TRUE(run.has("plugin_exec returned 0"));
  }
  {
    TempRoot root;
    writeWorld(root);
    // Leaving the genre selector without a choice closes the window with -1.
    auto run = testsupport::runHost(root, "key ok\nkey exit\n");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    auto shown = boxes(run);
    ASSERT_EQ(shown.size(), 1u) << run.out;
    EXPECT_EQ(shown[0].rfind("msgbox \"Oruvel\" flags=0x21 \"Oruvel V0.2 by kWIBEL\\n", 0), 0u)
        << shown[0];
    EXPECT_EQ(run.linesWith("msgbox closed 1").size(), 1u);
    // The about box comes before the hand-back.
    EXPECT_LT(run.out.find("Oruvel V0.2 by kWIBEL\\n"), run.out.find("playService"));
  }
}

TEST(Run, LockedServiceIsNotRestoredWhileTheLockIsActive) {
  const std::string locked = "1:0:1:2:3:4:0:0:0:0:";
  TempRoot root;
  writeWorld(root);
  auto refused = testsupport::runHost(root, "", {"--service", locked, "--locked", locked});
  ASSERT_EQ(refused.exitCode, 0) << refused.err;
  EXPECT_FALSE(refused.has("playService")) << refused.out;
  EXPECT_TRUE(refused.has("plugin_exec returned 0"));

  auto inactive = testsupport::runHost(
      root, "", {"--service", locked, "--locked", locked, "--lock-inactive"});
  EXPECT_TRUE(inactive.has("playService \"" + locked + "\" mode=40")) << inactive.out;

  auto other = testsupport::runHost(root, "", {"--service", kHostService, "--locked", locked});
  EXPECT_TRUE(other.has(std::string("playService \"") + kHostService + "\" mode=40"));

  // Without a service interface the empty text is still handed back.
  auto none = testsupport::runHost(root, "", {"--no-service-api"});
  EXPECT_TRUE(none.has("playService \"\" mode=40")) << none.out;
}

TEST(Run, OverlongSettingIsNamedAndTheRunGoesOn) {
  TempRoot root;
  writeWorld(root, "LUMOPIC=/" + std::string(200, 'p') + ".mvi\n");
  auto run = testsupport::runHost(root, "dump\n");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  auto shown = run.linesWith("msgbox \"Oruvel\" flags=0x21");
  ASSERT_EQ(shown.size(), 1u) << run.out;
  EXPECT_NE(shown[0].find("LUMOPIC"), std::string::npos);
  EXPECT_EQ(shown[0].find("RIPPER"), std::string::npos);
  EXPECT_EQ(dumps(run).size(), 1u);
}

}  // namespace
