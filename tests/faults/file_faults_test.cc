// Files under stress: the favourites file on a full disk and under a file
// size limit (the failure is reported, no earlier record is lost, no half
// record is left), and hostile contents of the ripper's /tmp files.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "tests/faults/fault_world.h"

namespace {

using namespace faulttest;
using namespace directorytest;

// Highlight the local station and press the yellow key, confirming.
const std::string kSaveLocalStation = chooseGenre(2, 5) + "key down\nkey yellow\nanswer 4\ndump\n";

std::string record(const Session& s) {
  return "<station name=\"Fault Test Station\"\nurl=\"http://" + s.standin.address() +
         "/sbin/tunein-station.pls?id=1001&amp;filename=playlist.pls\"/>\n";
}

std::string failedSaveBox(const std::string& path) {
  return "msgbox \"Oruvel-Information\" flags=0x21 \"radio station could not be saved to\\n" + path + "\"";
}

// Runs the host with a file size limit of `blocks` 512-byte blocks; the
// signal such a limit raises is ignored, so writes fail with EFBIG instead.
RunResult runLimited(const Session& s, const std::string& script, int blocks) {
  return run(s, script,
             {"/bin/sh", "-c", "trap '' XFSZ; ulimit -f " + std::to_string(blocks) + "; exec \"$@\"", "sh"});
}

TEST(FileFaults, FavouritesOnAFullDiskAreReportedAsNotSaved) {
  if (access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full here";
  Session s;
  writeLocalStation(s);
  testsupport::writeStandardConfig(s.root, "MYSTATIONFILE=/dev/full\n");
  RunResult r = run(s, kSaveLocalStation);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(r.has("msgbox \"Oruvel - save radio station\" flags=0x2c \"Fault Test Station\"")) << r.out;
  EXPECT_TRUE(r.has(failedSaveBox("/dev/full"))) << r.out;
}

TEST(FileFaults, FavouritesCutBySizeLimitKeepEveryEarlierRecordAndNoHalfOne) {
  Session s;
  writeLocalStation(s);
  // Earlier records that fill the file to just below 1024 bytes, so the
  // next record fits only in part.
  const std::string one = record(s);
  std::string earlier;
  while (earlier.size() + one.size() <= 1024) earlier += one;
  ASSERT_GT(earlier.size() + one.size(), 1024u);
  testsupport::writeFile(s.paths.favourites, earlier);

  RunResult r = runLimited(s, kSaveLocalStation, 2);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(r.has(failedSaveBox(s.paths.favourites))) << r.out;
  EXPECT_EQ(testsupport::readFile(s.paths.favourites), earlier);

  // Read back without the limit: exactly the earlier stations, each whole.
  RunResult back = run(s, chooseGenre(1, 5) + "dump\n");
  ASSERT_EQ(back.exitCode, 0) << back.err;
  auto d = mainDumps(back.out);
  ASSERT_EQ(d.size(), 1u);
  std::size_t stations = earlier.size() / one.size();
  EXPECT_EQ(stationEntries(d[0]).size(), stations + 1);
  EXPECT_EQ(listStatus(d[0]), "building list finsihed [" + std::to_string(stations) +
                                  "].   genre: local: lumostations.xml   bitrate: 0");

  // Two saves in a row, with room: both records follow the earlier ones.
  RunResult twice = run(s, chooseGenre(2, 5) + "key down\nkey yellow\nanswer 4\nkey yellow\nanswer 4\n");
  ASSERT_EQ(twice.exitCode, 0) << twice.err;
  EXPECT_EQ(testsupport::readFile(s.paths.favourites), earlier + one + one);
}

TEST(FileFaults, HostileRipperFilesDoNoHarm) {
  const std::string longLine(10000, 'A');
  std::string binary;
  for (int c = 0; c < 256; ++c) binary += static_cast<char>(c);
  struct Case {
    std::string content;
    std::string shown;  // the ripper line in the window after a tick
  };
  const Case cases[] = {
      {longLine, std::string(255, 'A')},  // no newline, far too long: its first 255 bytes
      {binary, ""},                       // starts with a NUL: shows as empty
      {"no newline at all", "no newline at all"},
      {std::string(300, 'B') + "\n" + std::string(300, 'C') + "\n", std::string(255, 'B')},
  };
  for (const Case& c : cases) {
    Session s;
    s.root.write("/tmp/lumorip", c.content);
    s.root.write("/tmp/lumopid", c.content);
    s.root.write("/tmp/lumopid.pid", c.content);
    RunResult r = run(s, "wait 3000\ndump\nkey red\nwait 3000\ndump\n");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    // No ripper runs: the probe says so whatever the files held, and the
    // PID file it cannot trust is gone before anything could be killed.
    EXPECT_TRUE(boxesIn(r).empty()) << r.out;
    EXPECT_FALSE(s.root.exists("/tmp/lumopid"));
    auto d = mainDumps(r.out);
    ASSERT_EQ(d.size(), 2u) << r.out;
    EXPECT_EQ(ripStatus(d[0]), c.shown) << c.content.substr(0, 40);
    EXPECT_NE(lineOf(d[0], "text=\"Stop\""), "");
    EXPECT_FALSE(std::filesystem::exists(s.root.path() + "/PWNED"));
  }
}

}  // namespace
