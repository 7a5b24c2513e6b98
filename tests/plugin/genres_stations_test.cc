// The genre selector, the two input fields and the highlight, driven
// through the host against the stand-in directory.
#include <gtest/gtest.h>

#include <chrono>

#include "tests/plugin/directory_session.h"

namespace {

using namespace directorytest;
using Strings = Lines;

// Genres Rock (3), Metal (4), Jazz (5); the selector starts on Jazz.
TEST(GenresStations, ChosenGenreFillsTheListAndTheHighlightNamesTheStation) {
  Session s;
  RunResult r = s.run(chooseGenre(4, 5) + "dump\nkey down\ndump\nkey down\nkey down\ndump\n"
                      "key up\nkey up\nkey up\ndump\n");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  auto d = mainDumps(r.out);
  ASSERT_GE(d.size(), 4u);
  EXPECT_EQ(stationEntries(d[0]), (Strings{"key=0 \"[leave listbox]\"",
                                           "key=1 \"Iron Anvil Radio\"",
                                           "key=2 \"Black Forest Doom &amp; Drone\"",
                                           "key=3 \"Thrash Attic\"",
                                           "key=4 \"Nordlys Metall Stasjon\""}));
  EXPECT_EQ(listStatus(d[0]), "building list finsihed [4].   genre: Metal   bitrate: 0");
  EXPECT_TRUE(focusedAt(d[0], kStationList));
  EXPECT_EQ(stationInfo(d[1]), "(2) Iron Anvil Radio");
  EXPECT_EQ(stationInfo(d[2]), "(4) Thrash Attic");
  EXPECT_EQ(stationInfo(d[3]), " ");  // back on "[leave listbox]"
  EXPECT_EQ(s.genresRequested(), (Strings{"Metal"}));
  EXPECT_EQ(s.idsRequested(), Strings{});  // highlighting resolves nothing
}

TEST(GenresStations, TypedGenreArrivesIntactAndRunsNothing) {
  Session s;
  // OK starts the editing (nothing is fetched), typing, OK ends it: one
  // request per typed genre.
  std::string script;
  for (const char* genre : {"R&B", "$(touch P)", "'a\"b;c|d>", "x`touch Q`", ""})
    script += std::string("focus input_genre\nkey ok\ntype ") + genre + "\nkey ok\ndump\n";
  RunResult r = s.run(script);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(s.genresRequested(), (Strings{"R&B", "$(touch P)", "'a\"b;c|d>", "x`touch Q`", ""}));
  for (const char* f : {"/P", "/Q", "/d>", "/c"}) EXPECT_FALSE(s.root.exists(f)) << f;
  auto d = mainDumps(r.out);
  ASSERT_EQ(d.size(), 5u);
  EXPECT_EQ(stationEntries(d[0]).size(), 3u);  // the R&B genre's two stations
  EXPECT_EQ(listStatus(d[0]), "building list finsihed [2].   genre: R&B   bitrate: 0");
  EXPECT_EQ(listStatus(d[1]), "building list finsihed [0].   genre: $(touch P)   bitrate: 0");
  // The empty genre: an empty list, focused, with the count 0.
  EXPECT_EQ(stationEntries(d[4]), (Strings{"key=0 \"[leave listbox]\""}));
  EXPECT_EQ(listStatus(d[4]), "building list finsihed [0].   genre:    bitrate: 0");
  EXPECT_TRUE(focusedAt(d[4], kStationList));
}

TEST(GenresStations, BitrateFilterIsConfirmedAndAppliesToTheNextGenre) {
  Session s;
  RunResult r = s.run("focus input_bitrate\nkey ok\ntype 128\nkey ok\nkey up\n" +
                      chooseGenre(4, 5) + "dump\n");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(r.has("msgbox \"Oruvel-Information\" flags=0x21 "
                    "\"Set bitrate filter to: 128\\n Use 0 to switch this function off.\""))
      << r.out;
  auto d = mainDumps(r.out);
  ASSERT_GE(d.size(), 1u);
  EXPECT_EQ(stationEntries(d[0]), (Strings{"key=0 \"[leave listbox]\"",
                                           "key=1 \"Iron Anvil Radio\"",
                                           "key=2 \"Black Forest Doom &amp; Drone\"",
                                           "key=3 \"Nordlys Metall Stasjon\""}));
  EXPECT_EQ(listStatus(d[0]), "building list finsihed [3].   genre: Metal   bitrate: 128");
  // Only the second activation asks; the first only took the text.
  EXPECT_EQ(r.linesWith("Set bitrate filter").size(), 1u);
}

TEST(GenresStations, DirectoryThatDoesNotAnswerGivesAnEmptyListInTime) {
  Session s({"Metal"}, {"--slow-ms", "120000"});
  auto start = std::chrono::steady_clock::now();
  RunResult r = s.run(chooseGenre(3, 3) + "dump\n");
  auto seconds = std::chrono::duration_cast<std::chrono::seconds>(
                     std::chrono::steady_clock::now() - start).count();
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_LE(seconds, 35);
  auto d = mainDumps(r.out);
  ASSERT_GE(d.size(), 1u);
  EXPECT_EQ(listStatus(d[0]), "building list finsihed [0].   genre: Metal   bitrate: 0");
}

TEST(GenresStations, BrokenPagesGiveAListThatMatchesItsCount) {
  for (const char* mode : {"truncated", "binary", "longlines"}) {
    Session s({"Rock"}, {"--page-mode", mode});
    RunResult r = s.run(chooseGenre(3, 3) + "dump\nkey down\nkey down\ndump\n");
    ASSERT_EQ(r.exitCode, 0) << mode << r.err;
    auto d = mainDumps(r.out);
    ASSERT_EQ(d.size(), 2u) << mode;
    std::size_t stations = stationEntries(d[0]).size() - 1;
    EXPECT_EQ(listStatus(d[0]), "building list finsihed [" + std::to_string(stations) +
                                    "].   genre: Rock   bitrate: 0") << mode;
  }
}

TEST(GenresStations, LocalFilesAndTheirFailedReads) {
  Session s({"Metal"});
  testsupport::writeFile(s.paths.stations,
                         "<stations>\n<station name=\"Local One\"\n"
                         "url=\"http://x/sbin/tunein-station.pls?id=1201&amp;filename=playlist.pls\"/>\n"
                         "<station name=\"Local Two\"\r\n"
                         "url=\"http://x/sbin/tunein-station.pls?id=1202&amp;filename=playlist.pls\"/>\r\n");
  // Key 2 reads the station file; key 1 the favourites, which do not exist;
  // /tmp/lumonet as a folder cannot be read after the download.
  s.root.write("/tmp/lumonet/keep", "");
  // A failed read leaves the focus on the selector: three steps down reach
  // the list, two more move its highlight.
  const std::string toThirdRow = "key down\nkey down\nkey down\nkey down\nkey down\n";
  RunResult r = s.run(chooseGenre(2, 3) + "dump\nkey ok\n" + chooseGenre(1, 2) + "dump\n" +
                      toThirdRow + "dump\nkey up\nkey up\nkey ok\n" + chooseGenre(3, 1) +
                      "dump\n" + toThirdRow + "dump\n");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  auto d = mainDumps(r.out);
  ASSERT_EQ(d.size(), 5u);
  EXPECT_EQ(stationEntries(d[0]), (Strings{"key=0 \"[leave listbox]\"",
                                           "key=1 \"Local One\"",
                                           "key=2 \"Local Two\""}));
  EXPECT_EQ(listStatus(d[0]), "building list finsihed [2].   genre: local: stations.xml   bitrate: 0");
  EXPECT_TRUE(r.has("msgbox \"Oruvel-Information\" flags=0x21 \"" + s.paths.favourites + "\""));
  // The failed read leaves the earlier entries, and they still lead to
  // their own stations.
  EXPECT_EQ(stationEntries(d[1]).size(), 3u);
  EXPECT_EQ(stationInfo(d[2]), "(3) Local Two");
  EXPECT_TRUE(r.has("msgbox \"Oruvel-Information\" flags=0x21 \"lumonet reading error.\""));
  EXPECT_EQ(listStatus(d[3]), "finished downloading.");
  EXPECT_EQ(stationEntries(d[3]).size(), 3u);
  EXPECT_EQ(stationInfo(d[4]), "(3) Local Two");
}

TEST(GenresStations, MissingGenreFileLeavesTheSelectorEmpty) {
  Session s;
  std::remove(s.paths.genres.c_str());
  RunResult r = s.run("dump\n");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(r.has("msgbox \"Oruvel-Information\" flags=0x21 \"" + s.paths.genres + "\""));
  auto lines = r.linesWith("    entry key=");
  for (const auto& l : lines) EXPECT_EQ(l.find("local"), std::string::npos) << l;
}

TEST(GenresStations, LeavingTheSelectorWithoutAChoiceClosesTheWindow) {
  Session s;
  RunResult r = s.run("key ok\nkey up\nkey exit\n");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(r.has("plugin_exec returned 0"));
  EXPECT_EQ(s.genresRequested(), Strings{});
  // Closed by rejection, a non-zero value: the about box follows at once,
  // before the host had to send any exit key of its own.
  EXPECT_TRUE(r.has("msgbox \"Oruvel\" flags=0x21 \"Oruvel V0.2 by kWIBEL\\n")) << r.out;
}

TEST(GenresStations, SwitchingGenresManyTimes) {
  // Each choice replaces the previous list; under the sanitizer build a
  // list that is not released fails the run at exit.
  Session s;
  std::string script;
  int current = 5;
  for (int i = 0; i < 15; ++i) {
    int next = 3 + i % 3;
    script += chooseGenre(next, current) + "key ok\n";  // and back to the selector
    current = next;
  }
  RunResult r = s.run(script + "dump\n");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(s.genresRequested().size(), 15u);
  EXPECT_EQ(r.err.find("LeakSanitizer"), std::string::npos) << r.err;
}

}  // namespace
