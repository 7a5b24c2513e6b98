// Genres, station lists, tune-in, Play and favourites against the stand-in directory:
// Rock (key 3), Metal (4: ids 1101-1104) and Jazz (5, the selected: 1201-1205).
#include <gtest/gtest.h>

#include <string>

#include "tests/plugin/plugin_world.h"

namespace {

using namespace world;

const std::string kMetal = chooseGenre(4, 5), kPrefix = "4096:0:0:0:0:0:0:0:0:0:";
std::string typeGenre(const std::string& g) { return "focus input_genre\nkey ok\ntype " + g + "\nkey ok\n"; }

TEST(GenresStations, ChosenGenreFillsTheListTheHighlightNamesTheStationAndTheBitrateFilters) {
  Session s;
  auto d = s.play(kMetal + "dump\nkey down\nkey down\nkey down\ndump\nkey up\nkey up\nkey up\ndump\n"
                  "focus input_bitrate\nkey ok\ntype 128\nkey ok\nkey up\n" + chooseGenre(4, 4) + "dump\n"
                  "again\n" + kMetal + "dump\n", 5);
  const Lines metal = {"key=0 \"[leave listbox]\"", "key=1 \"Iron Anvil Radio\"",
                       "key=2 \"Black Forest Doom &amp; Drone\"", "key=3 \"Thrash Attic\"",
                       "key=4 \"Nordlys Metall Stasjon\""};
  EXPECT_EQ(stationEntries(d[0]), metal);
  EXPECT_EQ(text(d[0], "list_status"), built(4, "Metal"));
  EXPECT_TRUE(focused(d[0], "station_list"));
  EXPECT_EQ(text(d[1], "station_info"), "(4) Thrash Attic");
  EXPECT_EQ(text(d[2], "station_info"), " ");  // back on "[leave listbox]"
  // Only the second activation of the field asks; the filter applies to the next list.
  EXPECT_EQ(s.last.linesWith("Set bitrate filter"),
            Lines{info("Set bitrate filter to: 128\\n Use 0 to switch this function off.")});
  EXPECT_EQ(stationEntries(d[3]), (Lines{metal[0], metal[1], metal[2], "key=3 \"Nordlys Metall Stasjon\""}));
  EXPECT_EQ(text(d[3], "list_status"), built(3, "Metal", 128));
  // A second start of the loaded plug-in goes on with the filter of the first.
  EXPECT_EQ(text(d[4], "list_status"), built(3, "Metal", 128));
  EXPECT_EQ(s.last.linesWith("plugin_exec returned").size(), 2u);
  EXPECT_EQ(s.genresRequested(), (Lines{"Metal", "Metal", "Metal"}));
  EXPECT_EQ(s.idsRequested(), Lines{});  // highlighting resolves nothing
}

TEST(GenresStations, TypedGenresAndServerTextArriveIntactAndRunNothing) {
  Session s;
  // OK starts the editing (nothing is fetched), OK ends it: one request per genre.
  const Lines typed = {"R&B", "$(touch P)", "'a\"b;c|d>", "x`touch Q`", "", "Oddities"};
  std::string script;
  for (const auto& genre : typed) script += typeGenre(genre) + "dump\n";
  // The Oddities' twelfth station: id "1;touch PWNED", a stream URL full of shell syntax.
  auto d = s.play(script + keys("down", 11) + "key ok\ndump\n", 7);
  EXPECT_EQ(s.genresRequested(), typed);
  EXPECT_EQ(text(d[0], "list_status"), built(2, "R&B"));
  EXPECT_EQ(text(d[4], "list_status"), built(0, ""));
  EXPECT_TRUE(focused(d[4], "station_list"));
  EXPECT_EQ(s.idsRequested(), (Lines{"1;touch PWNED"}));
  EXPECT_EQ(text(d[6], "station_info"), "(12) $(touch PWNED) Hostile Radio;touch PWNED3");
  EXPECT_NE(text(d[6], "play_status").find("$(touch${IFS}PWNED)"), std::string::npos) << text(d[6], "play_status");
  for (const char* f : {"/P", "/Q", "/d>", "/c", "/PWNED", "/PWNED2", "/PWNED3"}) EXPECT_FALSE(s.root.exists(f)) << f;
}

TEST(GenresStations, LocalFilesAndTheirFailedReads) {
  Session s({"Metal"});
  writeFile(s.paths.stations, "<stations>\n" + s.record("Local One", "1201") + s.record("Local Two", "1202"));
  // Key 2 reads the station file; key 1 the favourites, which do not exist;
  // /tmp/lumonet as a folder cannot be read after the download. A failed
  // read keeps the list and leaves the focus on the selector.
  s.root.write("/tmp/lumonet/keep", "");
  auto d = s.play(chooseGenre(2, 3) + "dump\nkey ok\n" + chooseGenre(1, 2) + "dump\n" + chooseGenre(3, 1) +
                      "dump\nfocus station_list\nkey down\nkey down\ndump\n", 4);
  const Lines local = {"key=0 \"[leave listbox]\"", "key=1 \"Local One\"", "key=2 \"Local Two\""};
  EXPECT_EQ(stationEntries(d[0]), local);
  EXPECT_EQ(text(d[0], "list_status"), built(2, "local: stations.xml"));
  EXPECT_EQ(boxes(s.last), (Lines{info(s.paths.favourites), info("lumonet reading error.")}));
  EXPECT_TRUE(focused(d[1], "genre_combo"));
  EXPECT_EQ(text(d[2], "list_status"), "finished downloading.");
  EXPECT_TRUE(stationEntries(d[1]) == local && stationEntries(d[2]) == local);
  EXPECT_EQ(text(d[3], "station_info"), "(3) Local Two");  // the kept entries lead to their stations
}

TEST(TuneIn, OkResolvesTheStreamAndPlayHandsItToThePlayerUnlessLocked) {
  Session s;
  EXPECT_EQ(text(s.play("key green\ndump\n", 1)[0], "play_status"), "no stream chosen. please select a station first.");
  // "[leave listbox]" resolves nothing and goes back to the selector.
  auto d = s.play(kMetal + "key down\nkey up\nkey ok\ndump\n" + chooseGenre(4, 4) +
                      "key down\nkey ok\ndump\nkey green\ndump\ndecoder\n", 3);
  EXPECT_EQ(text(d[0], "station_info") + text(d[0], "list_status"), "  ");
  EXPECT_TRUE(focused(d[0], "genre_combo"));
  const std::string url = s.streamUrl("1101");  // the first of its two File lines
  EXPECT_EQ(text(d[1], "station_info"), "(2) Iron Anvil Radio");
  EXPECT_EQ(text(d[1], "play_status"), url);
  EXPECT_EQ(text(d[1], "rip_status"), s.paths.ripper + " " + url + " -d " + s.paths.ripdir);
  EXPECT_TRUE(focused(d[1], "play_button"));
  EXPECT_EQ(s.idsRequested(), (Lines{"1101"}));
  // The still picture is configured but missing: none is shown; the decoder is set, the stream asked for.
  EXPECT_EQ(text(d[2], "play_status"), "playing " + url);
  EXPECT_EQ(s.last.linesWith("playService \"" + kPrefix + url + "\" mode=40").size(), 1u) << s.last.out;
  EXPECT_TRUE(s.last.has("apid=0x1ffe") && !s.last.has("stillpicture")) << s.last.out;
  // The third entry is the third station; with a picture it comes first.
  writeFile(s.paths.picture, "not really an I-frame");
  d = s.play(kMetal + "key down\nkey down\nkey ok\ndump\nkey green\n", 1);
  EXPECT_EQ(text(d[0], "station_info"), "(3) Black Forest Doom &amp; Drone");
  EXPECT_EQ(s.idsRequested(), (Lines{"1101", "1102"}));
  EXPECT_LT(s.last.out.find("stillpicture \"" + s.paths.picture + "\""),
            s.last.out.find("playService \"" + kPrefix + s.streamUrl("1102")));
  // A locked stream is not asked for unless its lock is inactive.
  const std::string ref = kPrefix + s.streamUrl("1101"), script = kMetal + "key down\nkey ok\nkey green\ndump\n";
  EXPECT_EQ(text(s.play(script, 1, {"--locked", ref})[0], "play_status"), "playing " + s.streamUrl("1101"));
  EXPECT_TRUE(s.last.linesWith("playService \"" + ref).empty()) << s.last.out;
  s.play(script, 1, {"--locked", ref, "--lock-inactive"});
  EXPECT_EQ(s.last.linesWith("playService \"" + ref + "\" mode=40").size(), 1u);
}

TEST(Favourites, RefusedDeclinedAndSavedStationsAndTheirReadBack) {
  Session s;
  const std::string question = "msgbox \"Oruvel - save radio station\" flags=0x2c ", jazz = chooseGenre(5, 5);
  // No list read yet, and then an empty one: no current station.
  s.play("key yellow\n" + typeGenre("Nothing") + "key yellow\n", 0);
  EXPECT_EQ(boxes(s.last), Lines(2, info("no radio station selected.\\nPlease select a station first.")));
  EXPECT_FALSE(fs::exists(s.paths.favourites));
  // Declining writes nothing but creates the file.
  s.play(jazz + "key down\nkey yellow\nanswer 8\n", 0);
  EXPECT_EQ(s.last.linesWith(question), Lines{question + "\"Smooth Harbour Jazz\""});
  EXPECT_TRUE(fs::exists(s.paths.favourites) && fs::is_empty(s.paths.favourites));
  // Right after the refill the last station is current; then the highlight
  // makes the first one current, saved twice. A saved station tunes in
  // through the id of its saved address.
  auto d = s.play(jazz + "key yellow\nanswer 4\nkey down\nkey yellow\nanswer 4\nkey yellow\nanswer 4\nkey up\n"
                  "key ok\n" + chooseGenre(1, 5) + "dump\nkey down\nkey down\nkey ok\ndump\n", 2);
  const std::string smooth = s.record("Smooth Harbour Jazz", "1201");
  EXPECT_EQ(readFile(s.paths.favourites), s.record("Midnight Swing Club", "1205") + smooth + smooth);
  EXPECT_EQ(text(d[0], "list_status"), built(3, "local: lumostations.xml"));
  EXPECT_EQ(text(d[1], "station_info"), "(3) Smooth Harbour Jazz");
  EXPECT_EQ(text(d[1], "play_status"), s.streamUrl("1201"));
  EXPECT_EQ(s.idsRequested(), (Lines{"1201"}));
  // An id that would come back cut ("1&amp;x" as "1") is refused; not even an empty file is written.
  s.root.write("/catalogue.txt", "genre|Rock\n1&x|128|Ampersand Radio\n");
  Session amp({"Rock"}, {"--catalogue", s.root.at("/catalogue.txt")});
  amp.play(chooseGenre(3, 3) + "key yellow\n", 0);
  EXPECT_EQ(boxes(amp.last), Lines{info("This radio station cannot be saved:\\nits id \\\"1&amp;x\\\" would not be "
                                        "read back the same\\nand would play another station.")}) << amp.last.out;
  EXPECT_FALSE(fs::exists(amp.paths.favourites));
}

}  // namespace
