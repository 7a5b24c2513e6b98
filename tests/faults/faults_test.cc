// Faults from outside: a directory that misbehaves, a ripper killed, a full
// favourites file, FIFOs, devices and links at the plug-in's paths, a quick
// user. The user sees a list, a box or a status line, never a hang.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "tests/plugin/plugin_world.h"

namespace {

using namespace world;

// How many processes have `text` on their command line.
int processesNaming(const std::string& text) {
  int n = 0;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator("/proc", ec))
    n += readFile(e.path().string() + "/cmdline").find(text) != std::string::npos;
  return n;
}
// Writes the local station file; the keys that highlight its station.
std::string localStation(const Session& s) {
  writeFile(s.paths.stations, "<stationlist>\n" + s.record("Fault Test Station", "1001"));
  return chooseGenre(2, 5) + "key down\n";
}

TEST(DirectoryFaults, DamagedSlowOrSilentPagesGiveBoundedListsAndNoBoxes) {
  const int sound = 7;  // the stand-in's Rock stations
  // A page sent over and over without end is cut at 8 MiB: so many whole pages, and one more cut short.
  StandIn plain;
  const auto pageBytes =
      runProgram({"/usr/bin/wget", "-qO-", "http://" + plain.address() + "/sbin/newxml.phtml?genre=Rock"}).out.size();
  ASSERT_GT(pageBytes, 0u);
  const int whole = static_cast<int>((8u << 20) / pageBytes);
  const struct {
    Lines options;
    int least, most;
  } cases[] = {
      {{"--page-mode", "truncated"}, 1, sound - 1},  // the last one cut inside its name
      {{"--drop-page-after", "700", "--drop-reset"}, 0, 2 * sound},  // wget tries again, each try may be kept
      {{"--page-status", "500"}, 0, 0},
      {{"--slow-ms", "3000"}, sound, sound},
      // A byte every 5 s: wget's bound on silence never fires, the one on the whole download does.
      {{"--trickle", "5000"}, 0, 0},
      {{"--trickle", "0"}, whole * sound, (whole + 1) * sound},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.options[0] + " " + c.options[1]);
    Session s({"Rock", "Metal", "Jazz"}, c.options);
    auto d = s.play(chooseGenre(3, 5) + "dump\nkey up\n", 1);  // highlighting the last entry breaks nothing
    EXPECT_TRUE(boxes(s.last).empty()) << s.last.out;
    const int n = static_cast<int>(stationEntries(d[0]).size()) - 1;
    EXPECT_TRUE(n >= c.least && n <= c.most) << n;
    EXPECT_EQ(text(d[0], "list_status"), built(n, "Rock"));
    EXPECT_TRUE(focused(d[0], "station_list"));
    EXPECT_EQ(processesNaming(s.standin.address()), 0) << "a download outlived its bound";
  }
}

TEST(DirectoryFaults, HugeEndlessLoopingAndTricklingPlaylists) {
  // The first File line is the stream, however much follows; a playlist
  // that redirects to itself or trickles in gives up, and the user is told.
  const std::pair<Lines, std::string> cases[] = {  // stand-in options, the stream ("": none to be had)
      {{"--big-playlist", "10000"}, "1001?n=1"},
      {{"--trickle", "0"}, "1001"},  // the playlist over and over without end
      {{"--playlist-redirect-loop"}, ""},
      {{"--trickle", "5000"}, ""}};
  for (const auto& [options, stream] : cases) {
    SCOPED_TRACE(options[0]);
    Session s({"Rock", "Metal", "Jazz"}, options);
    auto d = s.play(localStation(s) + "key ok\ndump\nkey green\n", 1);
    const std::string url = stream.empty() ? "" : s.streamUrl(stream);
    EXPECT_EQ(text(d[0], "station_info"),
              url.empty() ? "playlist could not be read. please select another stream." : "(2) Fault Test Station");
    EXPECT_EQ(text(d[0], "play_status"), url.empty() ? " " : url);
    EXPECT_EQ(s.last.linesWith("playService \"4096:"),
              url.empty() ? Lines{} : Lines{"playService \"4096:0:0:0:0:0:0:0:0:0:" + url + "\" mode=40"});
    EXPECT_EQ(boxes(s.last),
              url.empty() ? Lines{info("Playlist could not be created.\\nPlease select another stream.")} : Lines{});
    EXPECT_TRUE(!url.empty() || focused(d[0], "station_list"));
    EXPECT_EQ(processesNaming(s.standin.address()), 0) << "a download outlived its bound";
  }
}

TEST(FileFaults, FavouritesThatCannotBeWrittenAreReportedAndLoseNoRecord) {
  Session s;
  const std::string save = localStation(s) + "key yellow\nanswer 4\n", one = s.record("Fault Test Station", "1001");
  // Earlier records and blank lines fill the file to 1023 bytes, so under a
  // limit of two 512-byte blocks one byte of the next fits. The limit's
  // signal is ignored, so the write fails with EFBIG instead.
  std::string earlier;
  while (earlier.size() + one.size() <= 1023) earlier += one;
  const std::size_t stations = earlier.size() / one.size();
  earlier.resize(1023, '\n');
  writeFile(s.paths.favourites, earlier);
  s.play(save, 0, {}, {"/bin/sh", "-c", "trap '' XFSZ; ulimit -f 2; exec \"$@\"", "sh"});
  EXPECT_TRUE(s.last.has(info("radio station could not be saved to\\n" + s.paths.favourites))) << s.last.out;
  EXPECT_EQ(readFile(s.paths.favourites), earlier);
  // Read back without the limit: exactly the earlier stations, each whole.
  auto d = s.play(chooseGenre(1, 5) + "dump\n", 1);
  EXPECT_EQ(text(d[0], "list_status"), built(stations, "local: lumostations.xml"));
}

TEST(FileFaults, FifosAndDevicesCountAsMissingFilesWithTheirUsualBox) {
  // A FIFO without a writer (opening it to read would wait for ever) or a
  // device at a fixed path or as the file a configuration key names.
  Session s;
  {
    // At the ripper's files while one runs and is kept: the tick finds no progress, "Rip".
    SleepingRipper ripper(s.root);
    for (const char* f : {"/tmp/lumopid", "/tmp/lumorip"}) ASSERT_EQ(mkfifo(s.root.at(f).c_str(), 0644), 0);
    auto d = s.play("answer 2\nwait 3000\ndump\nanswer 2\n", 1);
    EXPECT_EQ(boxes(s.last), (Lines{kRunning, kRunning})) << s.last.out;
    EXPECT_EQ(ripLine(d[0]), "Rip: lumoripper is not running.");
    EXPECT_TRUE(ripper.alive());
  }
  const struct {
    std::string where;   // a configuration key, or a fixed path
    const char* device;  // null: a FIFO
    std::string script;
    Lines boxes;
  } cases[] = {
      {"MYGENREFILE", "/dev/zero", "", {info("/dev/zero")}},
      {"STATIONSFILE", nullptr, chooseGenre(2, 5), {info(s.root.at("/special"))}},
      {"LUMOPIC", nullptr, "focus mini_button\nkey ok\nkey exit\n", {}},
      // A device as favourites: as one that cannot be opened, nothing is asked, said or written.
      {"MYSTATIONFILE", "/dev/full", chooseGenre(3, 5) + "key down\nkey yellow\nanswer 4\n", {}},
      {"/var/tuxbox/config/oruvel/oruvel.conf", nullptr, "", {box("Oruvel", "0x21", "Configuration read error!\\n")}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.where);
    const std::string path = c.device ? c.device : s.root.at(c.where[0] == '/' ? c.where : "/special");
    if (c.where[0] != '/') writeConfig(s.root, c.where + "=" + path + "\n");
    if (!c.device) fs::remove(path), mkfifo(path.c_str(), 0644);
    s.play(c.script, 0);
    EXPECT_EQ(boxes(s.last), c.boxes) << s.last.out;
    EXPECT_TRUE(s.last.linesWith("stillpicture").empty());
  }
}

TEST(FileFaults, LinksPlantedInTmpAreReplacedNotFollowed) {
  Session s;
  s.root.write("/victim", "precious\n");
  fs::create_directories(s.root.at("/victimdir"));
  // A directory page, then a playlist, each with links waiting at every name written.
  const struct {
    std::string script, widget, shown;
  } runs[] = {{chooseGenre(3, 5) + "dump\n", "list_status", built(7, "Rock")},
              {localStation(s) + "key ok\ndump\n", "station_info", "(2) Fault Test Station"}};
  for (const auto& r : runs) {
    for (auto [f, target] : {std::pair{"/tmp/lumonet", "/victim"}, {"/tmp/lumopid.pid", "/victim"},
                             {"/tmp/lumolist.m3u", "/victimdir"}}) {
      fs::remove(s.root.at(f));
      fs::create_symlink(s.root.at(target), s.root.at(f));
    }
    auto d = s.play(r.script, 1);
    EXPECT_EQ(text(d[0], r.widget), r.shown) << s.last.out;
    EXPECT_EQ(s.root.read("/victim"), "precious\n");
    EXPECT_TRUE(fs::is_empty(s.root.at("/victimdir")));
    // Only the probe's file is left, a file of its own; no private file behind.
    Lines left;
    for (const auto& e : fs::directory_iterator(s.root.at("/tmp"))) left.push_back(e.path().filename().string());
    EXPECT_EQ(left, Lines{"lumopid.pid"});
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(s.root.at("/tmp/lumopid.pid"))));
  }
}

TEST(RipperFaults, StartedThenKilledMidTrackLeavesItsPart) {
  Session s({"Rock", "Metal", "Jazz"}, {"--metaint", "4096", "--title-seconds", "60"});
  auto d = s.play(localStation(s) + "key ok\nkey red\ndump\nanswer 2\n", 1);
  EXPECT_EQ(ripLine(d[0]), "Stop: lumoripper will be started.");
  fs::path part;  // the recording, once it holds a good part of a track
  ASSERT_TRUE(waitFor([&] {
    std::error_code ec;
    for (auto& e : fs::recursive_directory_iterator(s.paths.ripdir, ec))
      if (e.is_regular_file() && e.file_size() >= 40000) part = e.path();
    return !part.empty();
  })) << s.last.out;
  // Only a live lumoripper under this root is ours to signal.
  const pid_t pid = std::atoi(s.root.read("/tmp/lumopid").c_str());
  auto ours = [&] {
    const std::string stat = procText(pid, "stat"), mine = "ORUVEL_ROOT=" + s.root.path() + '\0';
    return pid > 1 && stat.find("(lumoripper) ") < stat.find("(lumoripper) Z") &&  // found, and no zombie
           procText(pid, "environ").find(mine) != std::string::npos;
  };
  ASSERT_TRUE(ours()) << pid;
  ASSERT_EQ(kill(pid, SIGKILL), 0);
  ASSERT_TRUE(waitFor([&] { return !ours(); }));
  // The part recorded so far stays under its partial name, and decodes.
  EXPECT_TRUE(fs::exists(part) && part.filename().string().find("(partial)") != std::string::npos) << part;
  EXPECT_TRUE(access("/usr/bin/mpg123", X_OK) != 0 ||
              runProgram({"/usr/bin/mpg123", "-q", "-t", part.string()}).exitCode == 0);
}

TEST(RedKeyFaults, TwoQuickPressesStartOneRipperAndStopIt) {
  // The second press comes the moment the first returns: the ripper has
  // announced itself by then, so the press stops it and returns once it has
  // ended. That probe's word has no full stop; a press that found none has.
  Session s;
  auto d = s.play(localStation(s) + "key ok\nkey red\nkey red\ndump\nkey red\ndump\nanswer 1\n", 2);
  EXPECT_EQ(s.last.linesWith("flags=0x20 \"lumoripper will be stopped.").size(), 1u) << s.last.out;
  EXPECT_EQ(ripLine(d[0]), "Rip: lumoripper is not running");
  // A third press starts one again; the end of the run stops it.
  EXPECT_EQ(text(d[1], "rip_button"), "Stop");
  EXPECT_LE(s.requested("/stream/").size(), 2u) << "a third ripper recorded";
  EXPECT_EQ(processesNaming(s.standin.address()), 0) << "a ripper runs on";
  EXPECT_FALSE(s.root.exists("/tmp/lumopid"));
}

}  // namespace
