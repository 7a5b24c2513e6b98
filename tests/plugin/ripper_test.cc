// The red key and the status tick: a ripper of an earlier run stopped, the
// ripper line after a press and a tick, and PID files that must never lead
// to killing the wrong process.
#include <gtest/gtest.h>

#include <string>

#include "tests/plugin/plugin_world.h"

namespace {

using namespace world;

TEST(Ripper, RedKeyStopsOnlyARipperThePidFileNames) {
  // A ripper runs and is kept at entry, so the PID file survives the entry
  // check and the red key meets it. Naming the test's own process kills nothing.
  Session s;
  SleepingRipper ripper(s);
  s.root.write("/tmp/lumopid", std::to_string(getpid()) + "\n");
  auto d = s.play("answer 2\nkey red\ndump\nanswer 2\n", 1);
  EXPECT_EQ(text(d[0], "rip_status"), "no lumoripper stopped: /tmp/lumopid named none, removed it.");
  EXPECT_EQ(text(d[0], "rip_button"), "Stop");
  EXPECT_TRUE(s.last.linesWith("flags=0x20").empty());
  EXPECT_FALSE(s.root.exists("/tmp/lumopid"));
  EXPECT_TRUE(ripper.alive());
  // Naming the ripper of an earlier run, the press stops it and waits for
  // its end; the button says Stop all the same, so the next press is a stop.
  s.root.write("/tmp/lumopid", ripper.pidText() + "\n");
  d = s.play("answer 2\nkey red\ndump\n", 1);
  EXPECT_EQ(s.last.linesWith("flags=0x20 \"lumoripper will be stopped.").size(), 1u) << s.last.out;
  EXPECT_EQ(text(d[0], "rip_button") + text(d[0], "rip_status"), "Stoplumoripper is not running");
  EXPECT_EQ(ripper.endSignal(), SIGTERM);
}

TEST(Status, RipperLineAfterAPressWithoutAStationAndAfterTheTick) {
  // The press starts nothing but says Stop; the tick sees no ripper and says
  // Rip; the next press still takes the stop path.
  Session s;
  auto d = s.play("wait 3000\ndump\nkey red\ndump\nwait 3000\ndump\nkey red\ndump\n", 4);
  EXPECT_EQ(text(d[1], "rip_button") + text(d[1], "rip_status"), "Stopno station chosen: lumoripper not started.");
  EXPECT_FALSE(s.root.exists("/tmp/lumorip"));
  EXPECT_TRUE(fs::is_empty(s.paths.ripdir));
  for (int i : {0, 2, 3}) EXPECT_EQ(text(d[i], "rip_button") + text(d[i], "rip_status"), "Riplumoripper is not running.") << i;
}

}  // namespace
