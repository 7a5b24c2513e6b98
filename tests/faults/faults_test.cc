// Faults injected from outside: a directory that misbehaves, favourites on
// a full disk or under a size limit, streams that break under the ripper
// and the ripper itself killed mid-track. The user sees a list, a box or a
// status line, never a hang; nothing recorded or saved is lost or half.
#include <gtest/gtest.h>

#include <string>

#include "tests/plugin/plugin_world.h"

namespace {

using namespace world;


TEST(DirectoryFaults, DamagedSlowOrSilentPagesGiveBoundedListsInTimeAndNoBoxes) {
  const int sound = 7;  // the stand-in's Rock stations
  // A page sent over and over without end is cut at 8 MiB: so many whole
  // Rock pages, and at most one more cut short.
  testsupport::StandIn plain;
  const auto pageBytes = testsupport::runProgram(
      {"/bin/sh", "-c", "exec wget -q -O - \"$0\"", "http://" + plain.address() + "/sbin/newxml.phtml?genre=Rock"}).out.size();
  ASSERT_GT(pageBytes, 0u);
  const int wholePages = static_cast<int>((8u << 20) / pageBytes);
  // However the server sends, the list comes within 20 s of the request.
  const struct {
    Lines options;
    int least, most;
  } cases[] = {
      {{"--page-mode", "truncated"}, 1, sound - 1},  // the last one cut inside its name
      // Junk: every piece holding "name=" counts as a station, as on any page.
      {{"--page-mode", "binary"}, 0, 200},
      {{"--page-mode", "longlines", "--long-line-bytes", "20000"}, sound, 1000},
      {{"--drop-page-after", "700"}, 0, sound - 1},
      // wget tries again after a reset; what each try got may be kept.
      {{"--drop-page-after", "700", "--drop-reset"}, 0, 2 * sound},
      {{"--page-status", "500"}, 0, 0},
      {{"--slow-ms", "3000"}, sound, sound},
      // A byte every 5 s: wget's own bound on silence never fires, the one
      // on the whole download does (and on a server that never answers).
      {{"--trickle", "5000"}, 0, 0},
      {{"--trickle", "0"}, wholePages * sound, (wholePages + 1) * sound},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.options[0] + " " + c.options[1]);
    Session s({"Rock", "Metal", "Jazz"}, c.options);
    // Highlighting the last entry must not break the window either.
    auto d = s.play(chooseGenre(3, 5) + "dump\nkey up\ndump\n", 2);
    EXPECT_LT(s.seconds, 25);
    EXPECT_TRUE(boxes(s.last).empty()) << s.last.out;
    int n = static_cast<int>(stationEntries(d[0]).size()) - 1;  // "[leave listbox]" first
    EXPECT_GE(n, c.least);
    EXPECT_LE(n, c.most);
    EXPECT_EQ(listStatus(d[0]), "building list finsihed [" + std::to_string(n) + "].   genre: Rock   bitrate: 0");
    EXPECT_TRUE(focusedAt(d[0], kStationList));
    // Each entry is one station name, cut to its field at most.
    for (const auto& e : stationEntries(d[0])) EXPECT_LE(e.size(), 511u + 20u);
    EXPECT_EQ(processesNaming(s.standin.address()), 0) << "a download outlived its bound";
  }
}

TEST(DirectoryFaults, HugeEndlessLoopingAndTricklingPlaylists) {
  // The first File line is the stream, and quickly, however much follows;
  // a playlist that redirects to itself or trickles in gives up in time,
  // and the user is told.
  const struct {
    Lines options;
    const char* firstUrlSuffix;  // null: no playlist to be had
  } cases[] = {
      {{"--big-playlist", "10000"}, "?n=1"},
      {{"--trickle", "0"}, ""},  // the playlist over and over without end
      {{"--playlist-redirect-loop"}, nullptr},
      {{"--trickle", "5000"}, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.options[0]);
    Session s({"Rock", "Metal", "Jazz"}, c.options);
    s.writeLocalStation();
    auto d = s.play(tuneInLocalStation() + "dump\nkey green\n", 1);
    EXPECT_LT(s.seconds, 25);
    const bool read = c.firstUrlSuffix != nullptr;
    const std::string first = s.streamUrl("1001") + (read ? c.firstUrlSuffix : "");
    EXPECT_EQ(stationInfo(d[0]), read ? "(2) Fault Test Station"
                                      : "playlist could not be read. please select another stream.");
    EXPECT_EQ(playStatus(d[0]), read ? first : " ");
    EXPECT_EQ(s.last.linesWith("playService \"4096:"),
              read ? Lines{"playService \"4096:0:0:0:0:0:0:0:0:0:" + first + "\" mode=40"} : Lines{});
    EXPECT_EQ(boxes(s.last), read ? Lines{}
                                  : Lines{info("Playlist could not be created.\\nPlease select another stream.")});
    EXPECT_TRUE(read || focusedAt(d[0], kStationList));
    EXPECT_EQ(processesNaming(s.standin.address()), 0) << "a download outlived its bound";
  }
}

TEST(FileFaults, FavouritesThatCannotBeWrittenAreReportedAndLoseNoRecord) {
  Session s;
  s.writeLocalStation();
  const std::string save = chooseGenre(2, 5) + "key down\nkey yellow\nanswer 4\n";
  const std::string one = s.record("Fault Test Station", "1001");
  // Earlier records and blank lines fill the file to 1023 bytes, so under a
  // limit of two 512-byte blocks exactly one byte of the next one fits. The
  // limit's signal is ignored, so the write fails with EFBIG instead.
  std::string earlier;
  while (earlier.size() + one.size() <= 1023) earlier += one;
  const std::size_t stations = earlier.size() / one.size();
  earlier.resize(1023, '\n');
  testsupport::writeFile(s.paths.favourites, earlier);
  s.play(save, 0, {}, {"/bin/sh", "-c", "trap '' XFSZ; ulimit -f 2; exec \"$@\"", "sh"});
  EXPECT_TRUE(s.last.has(info("radio station could not be saved to\\n" + s.paths.favourites))) << s.last.out;
  EXPECT_EQ(testsupport::readFile(s.paths.favourites), earlier);

  // Read back without the limit: exactly the earlier stations, each whole.
  auto d = s.play(chooseGenre(1, 5) + "dump\n", 1);
  EXPECT_EQ(stationEntries(d[0]).size(), stations + 1);
  EXPECT_EQ(listStatus(d[0]), "building list finsihed [" + std::to_string(stations) +
                                  "].   genre: local: lumostations.xml   bitrate: 0");

  if (access("/dev/full", F_OK) != 0) return;  // no such device here
  // A device is no favourites file: as one that cannot be opened, nothing
  // is asked, said or written.
  testsupport::writeStandardConfig(s.root, "MYSTATIONFILE=/dev/full\n");
  s.play(save, 0);
  EXPECT_TRUE(boxes(s.last).empty()) << s.last.out;
}

// RIPPER becomes a wrapper around a copy of lumoripper with `options`
// (short stall and retry settings) that logs the ripper's standard error
// and exit status to the returned file. The copy is named oruvel-ripper, so
// no "killall lumoripper" on this shared machine (another test's or a demo's
// plug-in leaving with OK) ends it, and the plug-in's own end check, which
// raced with the ripper's end, finds nothing to ask about.
std::string useQuickRipper(const Session& s, const std::string& options) {
  std::string wrapper = s.root.path() + "/bin/rip", log = s.root.path() + "/rip.log";
  std::string copy = s.root.path() + "/bin/oruvel-ripper";
  fs::create_directories(s.root.path() + "/bin");
  fs::copy_file(testsupport::lumoripperBinary(), copy, fs::copy_options::overwrite_existing);
  testsupport::writeFile(wrapper, "#!/bin/sh\n'" + copy + "' \"$@\" " + options + " 2>>'" + log +
                                      "'\necho \"exit $?\" >>'" + log + "'\n");
  chmod(wrapper.c_str(), 0755);
  testsupport::writeStandardConfig(s.root, "RIPPER=" + wrapper + "\n");
  return log;
}

TEST(RipperFaults, BrokenStreamsKeepEveryByteAndEndCleanly) {
  const struct {
    Lines options, ended;  // stand-in options; what the ripper's log says at the end
    std::uintmax_t bytes;
  } cases[] = {
      {{"--drop-stream-after", "30000"}, {"exit 0"}, 30000},
      {{"--drop-stream-after", "30000", "--drop-reset"}, {"exit 1"}, 30000},
      {{"--stall-stream-after", "30000"}, {"exit 1"}, 30000},
      {{"--redirect-loop"}, {"lumoripper: cannot record", "exit 1"}, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.options[0] + (c.options.size() > 2 ? " " + c.options[2] : ""));
    // Plain audio as fast as it goes: every body byte sent is audio the recording must hold.
    Lines options = {"--metaint", "0", "--speed", "0"};
    options.insert(options.end(), c.options.begin(), c.options.end());
    Session s({"Rock", "Metal", "Jazz"}, options);
    s.writeLocalStation();
    const std::string log = useQuickRipper(s, "--stall 2 --retries 0 --connect-timeout 5");
    auto d = s.play(tuneInLocalStation() + "key red\ndump\nanswer 2\n", 1);
    EXPECT_EQ(ripStatus(d[0]), "lumoripper will be started.");
    EXPECT_EQ(ripButton(d[0]), "Stop");

    ASSERT_TRUE(waitFor([&] { return testsupport::readFile(log).find("exit ") != std::string::npos; }, 30))
        << testsupport::readFile(log);
    const std::string ended = testsupport::readFile(log);
    for (const auto& e : c.ended) EXPECT_NE(ended.find(e), std::string::npos) << ended;
    EXPECT_FALSE(s.root.exists("/tmp/lumopid"));
    EXPECT_FALSE(s.root.exists("/tmp/lumorip"));
    auto files = recordings(s.paths.ripdir);
    ASSERT_EQ(files.size(), c.bytes ? 1u : 0u) << ended;
    if (c.bytes) {
      EXPECT_EQ(files[0].second, c.bytes) << files[0].first;
    }
  }
}

TEST(RipperFaults, KilledMidTrackLeavesAPlayablePartFileAndTheNextRunCleansUp) {
  Session s({"Rock", "Metal", "Jazz"}, {"--metaint", "4096", "--title-seconds", "60"});
  s.writeLocalStation();
  s.play(tuneInLocalStation() + "key red\nanswer 2\n", 0);
  ASSERT_TRUE(waitFor([&] {
    auto r = recordings(s.paths.ripdir);
    return r.size() == 1 && r[0].second >= 40000;
  }, 30)) << s.last.out;
  const pid_t pid = std::atoi(s.root.read("/tmp/lumopid").c_str());
  ASSERT_TRUE(ourRipper(pid, s.root)) << pid;
  ASSERT_EQ(kill(pid, SIGKILL), 0);
  ASSERT_TRUE(waitFor([&] { return !ourRipper(pid, s.root); }, 10));

  // The part recorded so far is there, under its partial name, and decodes.
  auto files = recordings(s.paths.ripdir);
  ASSERT_EQ(files.size(), 1u);
  EXPECT_NE(files[0].first.find("(partial)"), std::string::npos) << files[0].first;
  EXPECT_GE(files[0].second, 40000u);
  const std::string part = s.paths.ripdir + "/" + files[0].first, bytes = testsupport::readFile(part);
  ASSERT_GE(bytes.size(), 2u);
  EXPECT_EQ(static_cast<unsigned char>(bytes[0]), 0xFF);  // an MP3 frame starts the file
  EXPECT_EQ(static_cast<unsigned char>(bytes[1]) & 0xE0, 0xE0);
  if (access("/usr/bin/mpg123", X_OK) == 0) {
    EXPECT_EQ(testsupport::runProgram({"/usr/bin/mpg123", "-q", "-t", part}, "", 60).exitCode, 0);
  }
  EXPECT_TRUE(s.root.exists("/tmp/lumopid")) << "the killed ripper could not remove it";

  // The next run's probe finds no ripper: no question, the PID file goes,
  // the recording stays as it was.
  s.play("", 0);
  EXPECT_TRUE(boxes(s.last).empty()) << s.last.out;
  EXPECT_FALSE(s.root.exists("/tmp/lumopid"));
  EXPECT_EQ(recordings(s.paths.ripdir), files);
}

}  // namespace
