// Choosing a station, its playlist resolved through the stand-in
// directory, and Play handing the stream to the host's player.
#include <gtest/gtest.h>

#include "tests/plugin/directory_session.h"

namespace {

using namespace directorytest;
using Strings = Lines;

const std::string kPrefix = "4096:0:0:0:0:0:0:0:0:0:";

// Metal (key 4 of Rock, Metal, Jazz): 1101 Iron Anvil Radio, 1102 Black
// Forest Doom & Drone, 1103 Thrash Attic, 1104 Nordlys Metall Stasjon.
const std::string kMetal = chooseGenre(4, 5);

TEST(TuneIn, OkOnAStationResolvesItsStream) {
  Session s;
  RunResult r = s.run(kMetal + "key down\nkey ok\ndump\nkey green\ndump\ndecoder\n");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  auto d = mainDumps(r.out);
  ASSERT_GE(d.size(), 2u);
  const std::string url = s.streamUrl("1101");  // the first of its two File lines
  EXPECT_EQ(stationInfo(d[0]), "(2) Iron Anvil Radio");
  EXPECT_TRUE(focusedAt(d[0], kPlay));
  EXPECT_EQ(playStatus(d[0]), url);
  EXPECT_EQ(ripStatus(d[0]), s.paths.ripper + " " + url + " -d " + s.paths.ripdir);
  EXPECT_EQ(s.idsRequested(), (Strings{"1101"}));
  EXPECT_EQ(s.root.read("/tmp/lumolist.m3u"), "");  // removed at the end of the run

  // Play: the still picture is configured but missing, so none is shown;
  // the decoder block is set all the same, and the stream is asked for.
  EXPECT_EQ(playStatus(d[1]), "playing " + url);
  EXPECT_EQ(r.linesWith("playService \"" + kPrefix + url + "\" mode=40").size(), 1u) << r.out;
  EXPECT_TRUE(r.has("apid=0x1ffe"));
  EXPECT_FALSE(r.has("stillpicture"));
}

TEST(TuneIn, LeaveListboxResolvesNothingAndTheThirdEntryShowsThree) {
  Session s({"Rock", "Metal", "Jazz"}, {}, "RIPPER=/bin/rip\nRIPDIR=/hdd/music\n");
  testsupport::writeFile(s.paths.picture, "not really an I-frame");
  RunResult r = s.run(kMetal + "key down\nkey up\nkey ok\ndump\n" + chooseGenre(4, 4) +
                      "key down\nkey down\nkey ok\ndump\nkey green\n");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  auto d = mainDumps(r.out);
  ASSERT_GE(d.size(), 2u);
  EXPECT_EQ(stationInfo(d[0]), " ");
  EXPECT_EQ(listStatus(d[0]), " ");
  EXPECT_TRUE(focusedAt(d[0], kGenreCombo));
  EXPECT_EQ(stationInfo(d[1]), "(3) Black Forest Doom &amp; Drone");
  EXPECT_EQ(ripStatus(d[1]), "/bin/rip " + s.streamUrl("1102") + " -d /hdd/music");
  EXPECT_EQ(s.idsRequested(), (Strings{"1102"}));
  EXPECT_TRUE(r.has("stillpicture \"" + s.paths.picture + "\""));
  EXPECT_LT(r.out.find("stillpicture"), r.out.find("playService \"" + kPrefix));
}

TEST(TuneIn, PlaylistsThatCannotBeReadAreReportedAndPlayKeepsTheEarlierStream) {
  // Oddities: 3001 Dead Air FM ... 3004 Empty Playlist Radio (no File
  // line). A station of our own catalogue has a URL too long to keep.
  testsupport::TempRoot cat;
  cat.write("/catalogue.txt", "genre|Odd\n1|128|Fine Radio\n2|128|No Files|nofile\n"
                              "3|128|Long Way Radio|urlsuffix=?" + std::string(240, 'q') + "\n"
                              "4|128|Gone Radio\n");
  Session s({"Odd"}, {"--catalogue", cat.at("/catalogue.txt")});
  // 1 resolves; 2 has no File line; 3 does not fit; then Play.
  RunResult r = s.run(chooseGenre(3, 3) + "key down\nkey ok\nkey up\nkey down\nkey ok\ndump\n"
                      "key down\nkey ok\ndump\nkey green\ndump\n");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const std::string box =
      "msgbox \"Oruvel-Information\" flags=0x21 \"Playlist could not be created.\\nPlease select another stream.\"";
  EXPECT_EQ(r.linesWith(box).size(), 2u) << r.out;
  auto d = mainDumps(r.out);
  ASSERT_GE(d.size(), 3u);
  EXPECT_EQ(stationInfo(d[0]), "playlist could not be read. please select another stream.");
  EXPECT_TRUE(focusedAt(d[0], kStationList));
  EXPECT_EQ(stationInfo(d[1]), "playlist could not be read. please select another stream.");
  EXPECT_EQ(ripStatus(d[1]), s.paths.ripper + " " + s.streamUrl("1") + " -d " + s.paths.ripdir)
      << "the label keeps the last resolved station";
  EXPECT_EQ(s.idsRequested(), (Strings{"1", "2", "3"}));
  // Play after the failures plays the station resolved before.
  EXPECT_EQ(r.linesWith("playService \"" + kPrefix + s.streamUrl("1") + "\" mode=40").size(), 1u);
}

TEST(TuneIn, ServerTextNeverReachesTheShell) {
  // The hostile Oddities station: id "1;touch PWNED", a stream URL full of
  // shell syntax. Its id must reach the server intact, nothing may run.
  Session s({"Oddities"});
  std::string down;
  for (int i = 0; i < 11; ++i) down += "key down\n";
  RunResult r = s.run(chooseGenre(3, 3) + down + "key ok\ndump\n");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(s.idsRequested(), (Strings{"1;touch PWNED"}));
  auto d = mainDumps(r.out);
  ASSERT_GE(d.size(), 1u);
  EXPECT_EQ(stationInfo(d[0]), "(12) $(touch PWNED) Hostile Radio;touch PWNED3");
  EXPECT_NE(playStatus(d[0]).find("$(touch${IFS}PWNED)"), std::string::npos) << playStatus(d[0]);
  for (const char* f : {"/PWNED", "/PWNED2", "/PWNED3"}) EXPECT_FALSE(s.root.exists(f)) << f;
}

TEST(TuneIn, PlayWithoutAStreamOrOfALockedOneAsksForNothing) {
  Session s;
  RunResult none = s.run("key green\ndump\n");
  ASSERT_EQ(none.exitCode, 0) << none.err;
  auto n = mainDumps(none.out);
  ASSERT_GE(n.size(), 1u);
  EXPECT_EQ(playStatus(n[0]), "no stream chosen. please select a station first.");
  EXPECT_TRUE(none.linesWith("playService \"" + kPrefix).empty()) << none.out;

  const std::string ref = kPrefix + s.streamUrl("1101");
  const std::string script = kMetal + "key down\nkey ok\nkey green\ndump\n";
  RunResult locked = s.run(script, {"--locked", ref});
  ASSERT_EQ(locked.exitCode, 0) << locked.err;
  EXPECT_TRUE(locked.linesWith("playService \"" + ref).empty()) << locked.out;
  auto d = mainDumps(locked.out);
  ASSERT_GE(d.size(), 1u);
  EXPECT_EQ(playStatus(d[0]), "playing " + s.streamUrl("1101"));

  RunResult inactive = s.run(script, {"--locked", ref, "--lock-inactive"});
  ASSERT_EQ(inactive.exitCode, 0) << inactive.err;
  EXPECT_EQ(inactive.linesWith("playService \"" + ref + "\" mode=40").size(), 1u);
}

}  // namespace
