// The yellow key saving the current station to the favourites file, and
// the favourites pseudo-genre reading it back.
#include <gtest/gtest.h>

#include "tests/plugin/directory_session.h"

namespace {

using namespace directorytest;
using Strings = Lines;

// Jazz (key 5 of Rock, Metal, Jazz): 1201 Smooth Harbour Jazz, 1202 Blue
// Note Café Lounge, ..., 1205 Midnight Swing Club.
const std::string kJazz = chooseGenre(5, 5);
const std::string kQuestion = "msgbox \"Oruvel - save radio station\" flags=0x2c ";

std::string record(const Session& s, const std::string& name, const std::string& id) {
  return "<station name=\"" + name + "\"\nurl=\"http://" + s.standin.address() +
         "/sbin/tunein-station.pls?id=" + id + "&amp;filename=playlist.pls\"/>\n";
}

TEST(Favourites, SavedStationsAreReadBackInSavingOrderAndTuneIn) {
  Session s;
  // Right after the refill the last station is current; then the highlight
  // makes the first one current, which is saved twice.
  RunResult r = s.run(kJazz + "key yellow\nanswer 4\nkey down\nkey yellow\nanswer 4\n"
                      "key yellow\nanswer 4\nkey up\nkey ok\n" + chooseGenre(1, 5) +
                      "dump\nkey down\nkey down\nkey ok\ndump\n");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.linesWith(kQuestion + "\"Midnight Swing Club\"").size(), 1u) << r.out;
  EXPECT_EQ(r.linesWith(kQuestion + "\"Smooth Harbour Jazz\"").size(), 2u);
  EXPECT_EQ(testsupport::readFile(s.paths.favourites),
            record(s, "Midnight Swing Club", "1205") + record(s, "Smooth Harbour Jazz", "1201") +
                record(s, "Smooth Harbour Jazz", "1201"));
  auto d = mainDumps(r.out);
  ASSERT_GE(d.size(), 2u);
  EXPECT_EQ(stationEntries(d[0]), (Strings{"key=0 \"[leave listbox]\"",
                                           "key=1 \"Midnight Swing Club\"",
                                           "key=2 \"Smooth Harbour Jazz\"",
                                           "key=3 \"Smooth Harbour Jazz\""}));
  EXPECT_EQ(listStatus(d[0]),
            "building list finsihed [3].   genre: local: lumostations.xml   bitrate: 0");
  // A saved station tunes in through the id of its saved address.
  EXPECT_EQ(stationInfo(d[1]), "(3) Smooth Harbour Jazz");
  EXPECT_EQ(playStatus(d[1]), s.streamUrl("1201"));
  EXPECT_EQ(s.idsRequested(), (Strings{"1201"}));
}

TEST(Favourites, DecliningWritesNothingButCreatesTheFile) {
  Session s;
  RunResult r = s.run(kJazz + "key down\nkey yellow\nanswer 8\n");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(r.has(kQuestion + "\"Smooth Harbour Jazz\"")) << r.out;
  EXPECT_TRUE(r.has("msgbox closed 8"));
  EXPECT_TRUE(s.root.exists(s.paths.favourites.substr(s.root.path().size())));
  EXPECT_EQ(testsupport::readFile(s.paths.favourites), "");
}

TEST(Favourites, NothingToSaveIsRefused) {
  Session s;
  // No list read yet, and then an empty one: no current station.
  RunResult r = s.run("key yellow\nfocus input_genre\nkey ok\ntype Nothing\nkey ok\nkey yellow\n");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.linesWith("msgbox \"Oruvel-Information\" flags=0x21 "
                        "\"no radio station selected.\\nPlease select a station first.\"")
                .size(),
            2u)
      << r.out;
  EXPECT_TRUE(r.linesWith(kQuestion).empty());
  EXPECT_FALSE(s.root.exists(s.paths.favourites.substr(s.root.path().size())));
}

}  // namespace
