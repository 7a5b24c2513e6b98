// The red key and the status tick: a ripper of an earlier run stopped,
// the ripper line following its progress file, and PID files that must
// never lead to killing the wrong process.
#include <gtest/gtest.h>

#include <string>

#include "tests/plugin/plugin_world.h"

namespace {

using namespace world;

TEST(Ripper, RedKeyStopsOnlyARipperThePidFileNames) {
  // A ripper runs and is kept at entry, so the PID file survives the entry
  // check and the red key meets it. Naming the test's own process (live,
  // no ripper; RipperFiles tables hold the other contents) kills nothing.
  Session s;
  SleepingRipper ripper(s);
  s.root.write("/tmp/lumopid", std::to_string(getpid()) + "\n");
  auto d = s.play("answer 2\nkey red\ndump\nanswer 2\n", 1);
  EXPECT_EQ(ripStatus(d[0]), "no lumoripper stopped: /tmp/lumopid named none, removed it.");
  EXPECT_EQ(ripButton(d[0]), "Stop");
  EXPECT_TRUE(s.last.linesWith("flags=0x20").empty());
  EXPECT_FALSE(s.root.exists("/tmp/lumopid"));
  EXPECT_TRUE(ripper.alive());
  // Naming the ripper of an earlier run, the press stops it and waits for
  // its end; the button says Stop all the same, so the next press is a stop.
  s.root.write("/tmp/lumopid", ripper.pidText() + "\n");
  d = s.play("answer 2\nkey red\ndump\n", 1);
  EXPECT_EQ(s.last.linesWith("flags=0x20 \"lumoripper will be stopped.").size(), 1u) << s.last.out;
  EXPECT_EQ(ripStatus(d[0]), "lumoripper is not running");
  EXPECT_EQ(ripButton(d[0]), "Stop");
  EXPECT_EQ(ripper.endSignal(), SIGTERM);
}

TEST(Status, RipperLineFollowsTheProgressFileWhateverItHolds) {
  Session s;
  // No files and no station: the press starts nothing but says Stop; the
  // tick sees no ripper and says Rip; the next press still takes the stop path.
  auto d = s.play("wait 3000\ndump\nkey red\ndump\nwait 3000\ndump\nkey red\ndump\n", 4);
  EXPECT_EQ(ripStatus(d[1]), "no station chosen: lumoripper not started.");
  EXPECT_EQ(ripButton(d[1]), "Stop");
  EXPECT_FALSE(s.root.exists("/tmp/lumorip"));
  EXPECT_TRUE(std::filesystem::is_empty(s.paths.ripdir));
  for (int i : {0, 2, 3}) {
    EXPECT_EQ(ripButton(d[i]), "Rip") << i;
    EXPECT_EQ(ripStatus(d[i]), "lumoripper is not running.") << i;
  }
  // A ripper that only sleeps runs and is kept at entry and at the end, so
  // the probes leave its files alone; its progress line shown with the
  // line end escaped (RipperFiles tables hold what else the file may hold).
  SleepingRipper ripper(s);
  const std::string running = box("Oruvel", "0x23", "lumoripper is running. press OK to stopp ripping.");
  for (const char* f : {"/tmp/lumorip", "/tmp/lumopid", "/tmp/lumopid.pid"}) s.root.write(f, "track 1: 345 kB\nmore\n");
  d = s.play("answer 2\nwait 3000\ndump\nkey red\nwait 3000\ndump\nanswer 2\n", 2);
  EXPECT_EQ(boxes(s.last), (Lines{running, running})) << s.last.out;
  EXPECT_TRUE(ripper.alive());
  // The press meets a PID file naming no ripper: it goes, nothing is killed.
  EXPECT_FALSE(s.root.exists("/tmp/lumopid"));
  EXPECT_EQ(ripStatus(d[0]), "track 1: 345 kB\\n");
  EXPECT_EQ(ripButton(d[0]), "Stop");
}

}  // namespace
