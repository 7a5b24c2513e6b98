// The red key and the status tick: the ripper started on the chosen
// station and stopped again, the ripper line following its progress file,
// and PID files that must never lead to killing the wrong process.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "tests/plugin/plugin_world.h"

namespace {

using namespace world;

TEST(Ripper, HostilePidFilesKillNothing) {
  // The test's own process is a live one that is not a ripper.
  const std::string self = std::to_string(getpid()) + "\n";
  // A ripper runs and is kept at entry, so the PID file survives the entry
  // check and the red key meets it.
  Session s;
  SleepingRipper ripper(s);
  for (const std::string& content : {std::string("-1\n"), std::string("1\n"), self,
                                     std::string("\x01\xff\x00junk", 7), std::string("999999"),
                                     std::string("12345678\n"), std::string("$(touch PWNED)\n")}) {
    s.root.write("/tmp/lumopid", content);
    auto d = s.play("answer 2\nkey red\ndump\nanswer 2\n", 1);
    EXPECT_EQ(ripStatus(d[0]), "no lumoripper stopped: /tmp/lumopid named none, removed it.") << content;
    EXPECT_EQ(ripButton(d[0]), "Stop");
    EXPECT_TRUE(s.last.linesWith("flags=0x20").empty()) << content;
    EXPECT_FALSE(s.root.exists("/tmp/lumopid")) << content;
    EXPECT_TRUE(ripper.alive()) << content;
    EXPECT_FALSE(s.root.exists("/PWNED"));
  }
}

TEST(Ripper, RedKeyRecordsTheChosenStationAndStopsIt) {
  Session s;
  s.writeLocalStation();
  // Run 1 starts the ripper and keeps it at the end.
  auto d = s.play(tuneInLocalStation() + "key red\ndump\nanswer 2\n", 1);
  EXPECT_EQ(ripStatus(d[0]), "lumoripper will be started.");
  EXPECT_EQ(ripButton(d[0]), "Stop");
  // The ripper announces itself and records.
  ASSERT_TRUE(waitFor([&] { return s.root.exists("/tmp/lumopid") && s.root.exists("/tmp/lumorip"); }, 20))
      << s.last.out << s.last.err;
  pid_t pid = pidInFile(s.root);
  ASSERT_TRUE(ourRipper(pid, s.root)) << pid;
  EXPECT_TRUE(waitFor([&] { return recordedBytes(s.paths.ripdir) > 0; }, 20));
  std::string progress = s.root.read("/tmp/lumorip");
  progress.erase(std::min({progress.size(), progress.find('\n'), std::size_t{10}}));

  // Run 2 opens on the running ripper, its tick shows the progress, the red key stops it.
  d = s.play("answer 2\ndump\nwait 3000\ndump\nkey red\ndump\nkey red\ndump\nanswer 2\n", 4);
  if (ourRipper(pid, s.root)) kill(pid, SIGKILL);  // whatever happened, it does not outlive the test
  EXPECT_EQ(ripStatus(d[0]), "lumoripper is running. [PID: " + std::to_string(pid) + "]");
  EXPECT_EQ(ripStatus(d[1]).rfind(progress, 0), 0u) << ripStatus(d[1]) << "\nprogress: " << progress;
  EXPECT_EQ(ripButton(d[1]), "Stop");
  EXPECT_EQ(s.last.linesWith("flags=0x20 \"lumoripper will be stopped.").size(), 1u) << s.last.out;
  EXPECT_EQ(ripButton(d[2]), "Stop");
  EXPECT_EQ(ripButton(d[3]), "Rip");
  EXPECT_TRUE(waitFor([&] { return !ourRipper(pid, s.root); }, 10));
  EXPECT_TRUE(waitFor([&] { return !s.root.exists("/tmp/lumorip"); }, 10));
  EXPECT_GT(recordedBytes(s.paths.ripdir), 0u);
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
  std::string binary;
  for (int c = 0; c < 256; ++c) binary += static_cast<char>(c);
  const struct {
    std::string file, shown;  // the ripper line after a tick
  } cases[] = {
      {"track 1: 345 kB\nmore\n", "track 1: 345 kB\\n"},
      {"no newline", "no newline"},
      {"", ""},  // recording, but nothing to show yet
      {std::string(10000, 'A'), std::string(255, 'A')},
      {binary, ""},  // starts with a NUL
      {std::string(300, 'B') + "\n" + std::string(300, 'C') + "\n", std::string(255, 'B')},
  };
  // A ripper that only sleeps runs and is kept at entry and at the end, so
  // the probes leave its files alone; the same bytes in every one of them.
  SleepingRipper ripper(s);
  const std::string running = box("Oruvel", "0x23", "lumoripper is running. press OK to stopp ripping.");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file.substr(0, 20));
    for (const char* f : {"/tmp/lumorip", "/tmp/lumopid", "/tmp/lumopid.pid"}) s.root.write(f, c.file);
    d = s.play("answer 2\nwait 3000\ndump\nkey red\nwait 3000\ndump\nanswer 2\n", 2);
    EXPECT_EQ(boxes(s.last), (Lines{running, running})) << s.last.out;
    EXPECT_TRUE(ripper.alive());
    // The PID file the probe cannot trust is gone before anything could be killed.
    EXPECT_FALSE(s.root.exists("/tmp/lumopid"));
    EXPECT_EQ(ripStatus(d[0]), c.shown);
    EXPECT_EQ(ripButton(d[0]), "Stop");
  }
}

}  // namespace
