// Genres, station lists, tune-in, Play and favourites, driven through the
// host against the stand-in directory. Its genres Rock (key 3), Metal (4)
// and Jazz (5); the selector starts on Jazz. Metal: 1101 Iron Anvil Radio,
// 1102 Black Forest Doom & Drone, 1103 Thrash Attic, 1104 Nordlys Metall
// Stasjon. Jazz: 1201 Smooth Harbour Jazz ... 1205 Midnight Swing Club.
#include <gtest/gtest.h>

#include <string>

#include "tests/plugin/plugin_world.h"

namespace {

using namespace world;

const std::string kMetal = chooseGenre(4, 5);
const std::string kPrefix = "4096:0:0:0:0:0:0:0:0:0:";

TEST(GenresStations, ChosenGenreFillsTheListTheHighlightNamesTheStationAndTheBitrateFilters) {
  Session s;
  auto d = s.play(kMetal + "dump\nkey down\ndump\nkey down\nkey down\ndump\nkey up\nkey up\nkey up\ndump\n"
                  "focus input_bitrate\nkey ok\ntype 128\nkey ok\nkey up\n" + chooseGenre(4, 4) + "dump\n", 5);
  EXPECT_EQ(stationEntries(d[0]), (Lines{"key=0 \"[leave listbox]\"", "key=1 \"Iron Anvil Radio\"",
                                         "key=2 \"Black Forest Doom &amp; Drone\"", "key=3 \"Thrash Attic\"",
                                         "key=4 \"Nordlys Metall Stasjon\""}));
  EXPECT_EQ(listStatus(d[0]), "building list finsihed [4].   genre: Metal   bitrate: 0");
  EXPECT_TRUE(focusedAt(d[0], kStationList));
  EXPECT_EQ(stationInfo(d[1]), "(2) Iron Anvil Radio");
  EXPECT_EQ(stationInfo(d[2]), "(4) Thrash Attic");
  EXPECT_EQ(stationInfo(d[3]), " ");  // back on "[leave listbox]"
  // Only the second activation of the field asks; the filter applies to the next list.
  EXPECT_EQ(s.last.linesWith("Set bitrate filter"),
            Lines{info("Set bitrate filter to: 128\\n Use 0 to switch this function off.")});
  EXPECT_EQ(stationEntries(d[4]), (Lines{"key=0 \"[leave listbox]\"", "key=1 \"Iron Anvil Radio\"",
                                         "key=2 \"Black Forest Doom &amp; Drone\"",
                                         "key=3 \"Nordlys Metall Stasjon\""}));
  EXPECT_EQ(listStatus(d[4]), "building list finsihed [3].   genre: Metal   bitrate: 128");
  EXPECT_EQ(s.genresRequested(), (Lines{"Metal", "Metal"}));
  EXPECT_EQ(s.idsRequested(), Lines{});  // highlighting resolves nothing
}

TEST(GenresStations, TypedGenreArrivesIntactAndRunsNothing) {
  Session s;
  // OK starts the editing (nothing is fetched), OK ends it: one request per genre.
  const Lines typed = {"R&B", "$(touch P)", "'a\"b;c|d>", "x`touch Q`", ""};
  std::string script;
  for (const auto& genre : typed) script += "focus input_genre\nkey ok\ntype " + genre + "\nkey ok\ndump\n";
  auto d = s.play(script, 5);
  EXPECT_EQ(s.genresRequested(), typed);
  for (const char* f : {"/P", "/Q", "/d>", "/c"}) EXPECT_FALSE(s.root.exists(f)) << f;
  EXPECT_EQ(stationEntries(d[0]).size(), 3u);  // the R&B genre's two stations
  EXPECT_EQ(listStatus(d[0]), "building list finsihed [2].   genre: R&B   bitrate: 0");
  EXPECT_EQ(listStatus(d[1]), "building list finsihed [0].   genre: $(touch P)   bitrate: 0");
  // The empty genre: an empty list, focused, with the count 0.
  EXPECT_EQ(stationEntries(d[4]), (Lines{"key=0 \"[leave listbox]\""}));
  EXPECT_EQ(listStatus(d[4]), "building list finsihed [0].   genre:    bitrate: 0");
  EXPECT_TRUE(focusedAt(d[4], kStationList));
}

TEST(GenresStations, LocalFilesAndTheirFailedReads) {
  Session s({"Metal"});
  testsupport::writeFile(s.paths.stations,
                         "<stations>\n<station name=\"Local One\"\n"
                         "url=\"http://x/sbin/tunein-station.pls?id=1201&amp;filename=playlist.pls\"/>\n"
                         "<station name=\"Local Two\"\r\n"
                         "url=\"http://x/sbin/tunein-station.pls?id=1202&amp;filename=playlist.pls\"/>\r\n");
  // Key 2 reads the station file; key 1 the favourites, which do not exist;
  // /tmp/lumonet as a folder cannot be read after the download. A failed
  // read keeps the list and leaves the focus on the selector.
  s.root.write("/tmp/lumonet/keep", "");
  auto d = s.play(chooseGenre(2, 3) + "dump\nkey ok\n" + chooseGenre(1, 2) + "dump\n" + chooseGenre(3, 1) +
                      "dump\nkey down\nkey down\nkey down\nkey down\nkey down\ndump\n", 4);
  EXPECT_EQ(stationEntries(d[0]), (Lines{"key=0 \"[leave listbox]\"", "key=1 \"Local One\"", "key=2 \"Local Two\""}));
  EXPECT_EQ(listStatus(d[0]), "building list finsihed [2].   genre: local: stations.xml   bitrate: 0");
  EXPECT_TRUE(s.last.has(info(s.paths.favourites)));
  EXPECT_EQ(stationEntries(d[1]), stationEntries(d[0]));
  EXPECT_TRUE(focusedAt(d[1], kGenreCombo));
  EXPECT_TRUE(s.last.has(info("lumonet reading error.")));
  EXPECT_EQ(listStatus(d[2]), "finished downloading.");
  EXPECT_EQ(stationEntries(d[2]), stationEntries(d[0]));
  // Three steps down reach the list, two more its third row: the kept
  // entries still lead to their own stations.
  EXPECT_EQ(stationInfo(d[3]), "(3) Local Two");

  // Without its genre file the selector holds no genre and no local entry.
  std::filesystem::remove(s.paths.genres);
  s.play("dump\n", 1);
  EXPECT_TRUE(s.last.has(info(s.paths.genres)));
  for (const auto& l : s.last.linesWith("    entry key=")) EXPECT_EQ(l.find("local"), std::string::npos) << l;
}

TEST(TuneIn, OkResolvesTheStreamAndPlayHandsItToThePlayer) {
  Session s;
  // "[leave listbox]" resolves nothing and goes back to the selector.
  auto d = s.play(kMetal + "key down\nkey up\nkey ok\ndump\n" + chooseGenre(4, 4) +
                      "key down\nkey ok\ndump\nkey green\ndump\ndecoder\n", 3);
  EXPECT_EQ(stationInfo(d[0]), " ");
  EXPECT_EQ(listStatus(d[0]), " ");
  EXPECT_TRUE(focusedAt(d[0], kGenreCombo));
  const std::string url = s.streamUrl("1101");  // the first of its two File lines
  EXPECT_EQ(stationInfo(d[1]), "(2) Iron Anvil Radio");
  EXPECT_TRUE(focusedAt(d[1], kPlay));
  EXPECT_EQ(playStatus(d[1]), url);
  EXPECT_EQ(ripStatus(d[1]), s.paths.ripper + " " + url + " -d " + s.paths.ripdir);
  EXPECT_EQ(s.idsRequested(), (Lines{"1101"}));
  EXPECT_EQ(s.root.read("/tmp/lumolist.m3u"), "");  // removed at the end of the run
  // The still picture is configured but missing, so none is shown; the
  // decoder is set all the same and the stream is asked for.
  EXPECT_EQ(playStatus(d[2]), "playing " + url);
  EXPECT_EQ(s.last.linesWith("playService \"" + kPrefix + url + "\" mode=40").size(), 1u) << s.last.out;
  EXPECT_TRUE(s.last.has("apid=0x1ffe"));
  EXPECT_FALSE(s.last.has("stillpicture"));

  // The third entry is the third station; with a picture it comes first.
  testsupport::writeFile(s.paths.picture, "not really an I-frame");
  d = s.play(kMetal + "key down\nkey down\nkey ok\ndump\nkey green\n", 1);
  EXPECT_EQ(stationInfo(d[0]), "(3) Black Forest Doom &amp; Drone");
  EXPECT_EQ(s.idsRequested(), (Lines{"1101", "1102"}));
  EXPECT_TRUE(s.last.has("stillpicture \"" + s.paths.picture + "\""));
  EXPECT_LT(s.last.out.find("stillpicture"), s.last.out.find("playService \"" + kPrefix + s.streamUrl("1102")));
}

TEST(TuneIn, PlaylistsThatCannotBeReadAreReportedAndPlayKeepsTheEarlierStream) {
  // A catalogue of our own: 2 has no File line, 3 a URL too long to keep.
  testsupport::TempRoot cat;
  cat.write("/catalogue.txt", "genre|Odd\n1|128|Fine Radio\n2|128|No Files|nofile\n"
                              "3|128|Long Way Radio|urlsuffix=?" + std::string(240, 'q') + "\n4|128|Gone Radio\n");
  Session s({"Odd"}, {"--catalogue", cat.at("/catalogue.txt")});
  auto d = s.play(chooseGenre(3, 3) + "key down\nkey ok\nkey up\nkey down\nkey ok\ndump\n"
                  "key down\nkey ok\ndump\nkey green\ndump\n", 3);
  EXPECT_EQ(s.last.linesWith(info("Playlist could not be created.\\nPlease select another stream.")).size(),
            2u);
  const std::string unread = "playlist could not be read. please select another stream.";
  EXPECT_EQ(stationInfo(d[0]), unread);
  EXPECT_TRUE(focusedAt(d[0], kStationList));
  EXPECT_EQ(stationInfo(d[1]), unread);
  EXPECT_EQ(ripStatus(d[1]), s.paths.ripper + " " + s.streamUrl("1") + " -d " + s.paths.ripdir)
      << "the label keeps the last resolved station";
  EXPECT_EQ(s.idsRequested(), (Lines{"1", "2", "3"}));
  EXPECT_EQ(s.last.linesWith("playService \"" + kPrefix + s.streamUrl("1") + "\" mode=40").size(), 1u);
}

TEST(TuneIn, ServerTextNeverReachesTheShell) {
  // The hostile Oddities station: id "1;touch PWNED", a stream URL full of
  // shell syntax. Its id reaches the server intact, nothing runs.
  Session s({"Oddities"});
  std::string down;
  for (int i = 0; i < 11; ++i) down += "key down\n";
  auto d = s.play(chooseGenre(3, 3) + down + "key ok\ndump\n", 1);
  EXPECT_EQ(s.idsRequested(), (Lines{"1;touch PWNED"}));
  EXPECT_EQ(stationInfo(d[0]), "(12) $(touch PWNED) Hostile Radio;touch PWNED3");
  EXPECT_NE(playStatus(d[0]).find("$(touch${IFS}PWNED)"), std::string::npos) << playStatus(d[0]);
  for (const char* f : {"/PWNED", "/PWNED2", "/PWNED3"}) EXPECT_FALSE(s.root.exists(f)) << f;
}

TEST(TuneIn, PlayWithoutAStreamOrOfALockedOneAsksForNothing) {
  Session s;
  EXPECT_EQ(playStatus(s.play("key green\ndump\n", 1)[0]), "no stream chosen. please select a station first.");
  EXPECT_TRUE(s.last.linesWith("playService \"" + kPrefix).empty()) << s.last.out;

  const std::string ref = kPrefix + s.streamUrl("1101"), script = kMetal + "key down\nkey ok\nkey green\ndump\n";
  EXPECT_EQ(playStatus(s.play(script, 1, {"--locked", ref})[0]), "playing " + s.streamUrl("1101"));
  EXPECT_TRUE(s.last.linesWith("playService \"" + ref).empty()) << s.last.out;
  s.play(script, 1, {"--locked", ref, "--lock-inactive"});
  EXPECT_EQ(s.last.linesWith("playService \"" + ref + "\" mode=40").size(), 1u);
}

TEST(Favourites, RefusedDeclinedAndSavedStationsAndTheirReadBack) {
  Session s;
  const std::string question = "msgbox \"Oruvel - save radio station\" flags=0x2c ", jazz = chooseGenre(5, 5);
  // No list read yet, and then an empty one: no current station.
  s.play("key yellow\nfocus input_genre\nkey ok\ntype Nothing\nkey ok\nkey yellow\n", 0);
  EXPECT_EQ(s.last.linesWith(info("no radio station selected.\\nPlease select a station first.")).size(), 2u)
      << s.last.out;
  EXPECT_TRUE(s.last.linesWith(question).empty());
  EXPECT_FALSE(std::filesystem::exists(s.paths.favourites));
  // Declining writes nothing but creates the file.
  s.play(jazz + "key down\nkey yellow\nanswer 8\n", 0);
  EXPECT_TRUE(s.last.has(question + "\"Smooth Harbour Jazz\"")) << s.last.out;
  EXPECT_TRUE(s.last.has("msgbox closed 8"));
  EXPECT_TRUE(std::filesystem::exists(s.paths.favourites));
  EXPECT_EQ(testsupport::readFile(s.paths.favourites), "");

  // Right after the refill the last station is current; then the highlight
  // makes the first one current, saved twice.
  auto d = s.play(jazz + "key yellow\nanswer 4\nkey down\nkey yellow\nanswer 4\nkey yellow\nanswer 4\nkey up\n"
                  "key ok\n" + chooseGenre(1, 5) + "dump\nkey down\nkey down\nkey ok\ndump\n", 2);
  EXPECT_EQ(s.last.linesWith(question + "\"Midnight Swing Club\"").size(), 1u) << s.last.out;
  EXPECT_EQ(s.last.linesWith(question + "\"Smooth Harbour Jazz\"").size(), 2u);
  EXPECT_EQ(testsupport::readFile(s.paths.favourites), s.record("Midnight Swing Club", "1205") +
                                                           s.record("Smooth Harbour Jazz", "1201") +
                                                           s.record("Smooth Harbour Jazz", "1201"));
  EXPECT_EQ(stationEntries(d[0]), (Lines{"key=0 \"[leave listbox]\"", "key=1 \"Midnight Swing Club\"",
                                         "key=2 \"Smooth Harbour Jazz\"", "key=3 \"Smooth Harbour Jazz\""}));
  EXPECT_EQ(listStatus(d[0]), "building list finsihed [3].   genre: local: lumostations.xml   bitrate: 0");
  // A saved station tunes in through the id of its saved address.
  EXPECT_EQ(stationInfo(d[1]), "(3) Smooth Harbour Jazz");
  EXPECT_EQ(playStatus(d[1]), s.streamUrl("1201"));
  EXPECT_EQ(s.idsRequested(), (Lines{"1201"}));

  // An id that would come back cut ("1&amp;x" as "1") is refused, and
  // nothing is written, not even an empty file.
  testsupport::TempRoot elsewhere;
  elsewhere.write("/catalogue.txt", "genre|Rock\n1&x|128|Ampersand Radio\n");
  Session amp({"Rock"}, {"--catalogue", elsewhere.at("/catalogue.txt")});
  amp.play(chooseGenre(3, 3) + "key yellow\n", 0);
  EXPECT_EQ(boxes(amp.last), Lines{info("This radio station cannot be saved:\\nits id \\\"1&amp;x\\\" would not be "
                                        "read back the same\\nand would play another station.")}) << amp.last.out;
  EXPECT_FALSE(std::filesystem::exists(amp.paths.favourites));
}

}  // namespace
