// A station directory that misbehaves: damaged, cut, binary and slow pages,
// huge and looping playlists. The user sees a list (maybe empty) or the
// playlist box, never a hang past the download bounds, and nothing
// spills out of a field.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "tests/faults/fault_world.h"

namespace {

using namespace faulttest;
using namespace directorytest;

const std::string kRock = chooseGenre(3, 5) + "dump\n";
// wget's bounds: 10 s per connect or read, two tries; a page must be in
// (or given up) well inside that.
constexpr double kDownloadBoundSeconds = 25;

int listedCount(const std::vector<std::string>& dump) {
  return static_cast<int>(stationEntries(dump).size()) - 1;  // "[leave listbox]" first
}

std::string statusFor(int count) {
  return "building list finsihed [" + std::to_string(count) + "].   genre: Rock   bitrate: 0";
}

struct TimedRun {
  RunResult result;
  double seconds;
};
TimedRun timedRun(const Session& s, const std::string& script) {
  auto start = std::chrono::steady_clock::now();
  RunResult r = run(s, script);
  return {r, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count()};
}

TEST(DirectoryFaults, DamagedPagesGiveBoundedListsAndNoBoxes) {
  // What a sound page gives, for comparison.
  int sound = 0;
  {
    Session s;
    RunResult r = run(s, kRock);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    auto d = mainDumps(r.out);
    ASSERT_EQ(d.size(), 1u);
    sound = listedCount(d[0]);
    ASSERT_EQ(sound, 7);
  }
  struct Case {
    std::vector<std::string> options;
    int least, most;  // stations listed
  };
  const Case cases[] = {
      {{"--page-mode", "truncated"}, 1, sound - 1},  // the last one cut inside its name
      // Junk: every piece holding "name=" counts as a station, as on any page.
      {{"--page-mode", "binary"}, 0, 200},
      {{"--page-mode", "longlines", "--long-line-bytes", "20000"}, sound, 1000},
      {{"--drop-page-after", "700"}, 0, sound - 1},
      // wget tries again after a reset; what each try got may be kept.
      {{"--drop-page-after", "700", "--drop-reset"}, 0, 2 * sound},
      {{"--page-status", "500"}, 0, 0},
  };
  for (const Case& c : cases) {
    std::string what = c.options[0] + " " + c.options[1];
    Session s({"Rock", "Metal", "Jazz"}, c.options);
    TimedRun t = timedRun(s, kRock);
    ASSERT_EQ(t.result.exitCode, 0) << what << "\n" << t.result.err;
    EXPECT_LT(t.seconds, kDownloadBoundSeconds) << what;
    EXPECT_TRUE(boxesIn(t.result).empty()) << what << "\n" << t.result.out;
    auto d = mainDumps(t.result.out);
    ASSERT_EQ(d.size(), 1u) << what << "\n" << t.result.out;
    int n = listedCount(d[0]);
    EXPECT_GE(n, c.least) << what;
    EXPECT_LE(n, c.most) << what;
    EXPECT_EQ(listStatus(d[0]), statusFor(n)) << what;
    EXPECT_TRUE(focusedAt(d[0], kStationList)) << what;
    // Each entry is one station name, cut to its field at most.
    for (const auto& e : stationEntries(d[0])) EXPECT_LE(e.size(), 511u + 20u) << what;
    // Highlighting the last entry names it without breaking the window.
    RunResult again = run(s, kRock + "key up\ndump\n");
    ASSERT_EQ(again.exitCode, 0) << what << "\n" << again.err;
  }
}

TEST(DirectoryFaults, SlowDirectoryStillFillsTheListWithinTheBound) {
  Session s({"Rock", "Metal", "Jazz"}, {"--slow-ms", "3000"});
  TimedRun t = timedRun(s, kRock);
  ASSERT_EQ(t.result.exitCode, 0) << t.result.err;
  auto d = mainDumps(t.result.out);
  ASSERT_EQ(d.size(), 1u);
  EXPECT_EQ(listStatus(d[0]), statusFor(7));
  EXPECT_GE(t.seconds, 3.0);
  EXPECT_LT(t.seconds, kDownloadBoundSeconds);
}

TEST(DirectoryFaults, HugeAndLoopingPlaylists) {
  {
    // 10,000 File lines: the first one is the stream, and quickly.
    Session s({"Rock", "Metal", "Jazz"}, {"--big-playlist", "10000"});
    writeLocalStation(s);
    TimedRun t = timedRun(s, tuneInLocalStation() + "dump\nkey green\n");
    ASSERT_EQ(t.result.exitCode, 0) << t.result.err;
    EXPECT_LT(t.seconds, kDownloadBoundSeconds);
    auto d = mainDumps(t.result.out);
    ASSERT_EQ(d.size(), 1u) << t.result.out;
    EXPECT_EQ(stationInfo(d[0]), "(2) Fault Test Station");
    const std::string first = s.streamUrl("1001") + "?n=1";  // File1 of the 10,000
    EXPECT_EQ(playStatus(d[0]), first);
    EXPECT_TRUE(t.result.has("playService \"4096:0:0:0:0:0:0:0:0:0:" + first + "\""))
        << t.result.out;
  }
  {
    // A playlist that redirects to itself: wget gives up, the user is told.
    Session s({"Rock", "Metal", "Jazz"}, {"--playlist-redirect-loop"});
    writeLocalStation(s);
    TimedRun t = timedRun(s, tuneInLocalStation() + "dump\nkey green\n");
    ASSERT_EQ(t.result.exitCode, 0) << t.result.err;
    EXPECT_LT(t.seconds, kDownloadBoundSeconds);
    EXPECT_TRUE(t.result.has("msgbox \"Oruvel-Information\" flags=0x21 "
                             "\"Playlist could not be created.\\nPlease select another stream.\""))
        << t.result.out;
    auto d = mainDumps(t.result.out);
    ASSERT_EQ(d.size(), 1u);
    EXPECT_EQ(stationInfo(d[0]), "playlist could not be read. please select another stream.");
    EXPECT_TRUE(focusedAt(d[0], kStationList));
    EXPECT_FALSE(t.result.has("playService \"4096:"));
  }
}

}  // namespace
