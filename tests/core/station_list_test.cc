// The directory page and the local station files read into the Station list.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "directory/station_list.h"
#include "plugin/fixed_text.h"
#include "tests/support/temp_root.h"

namespace {

struct Row {
  std::string name, id, bitrate, genre;
  bool operator==(const Row& o) const {
    return name == o.name && id == o.id && bitrate == o.bitrate && genre == o.genre;
  }
};
std::ostream& operator<<(std::ostream& os, const Row& r) {
  return os << "{" << r.name << "|" << r.id << "|" << r.bitrate << "|" << r.genre << "}";
}

// The stations by key, looked up the way the window does.
std::vector<Row> rowsByKey() {
  std::vector<Row> rows;
  for (int key = 1; key <= AnzahlNETElemente; ++key) {
    NET_Element_ermitteln(key, AnzahlNETElemente);
    rows.push_back({net_anker->name, net_anker->id, net_anker->bitrate, net_anker->genre});
  }
  return rows;
}

class StationList : public ::testing::Test {
 protected:
  void SetUp() override { oruvel::copyBounded(which_bitrate, "0"); }
  void TearDown() override { RemoveList(); }

  bool page(const std::string& content) {
    root.write("/tmp/lumonet", content);
    return oruvel::readDirectoryPage(root.at("/tmp/lumonet"));
  }
  bool local(const std::string& content) {
    root.write("/stations.xml", content);
    return oruvel::readLocalStations(root.at("/stations.xml").c_str());
  }
  testsupport::TempRoot root;
};

const char* kThree =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<stationlist>\n"
    "<station name=\"Alpha\" mt=\"audio/mpeg\" id=\"11\" br=\"64\" genre=\"Pop\" ct=\"x\"/>\n"
    "<station genre=\"Pop Rock\" br=\"128\" id=\"22\" name=\"Beta\"/>\r\n"
    "<station name=\"Gamma\" id=\"33\"/>\n</stationlist>\n";

TEST_F(StationList, BitrateFilterKeepsStationsAtOrAboveIt) {
  ASSERT_TRUE(page(kThree));
  EXPECT_EQ(read_error, 0);
  EXPECT_EQ(rowsByKey(), (std::vector<Row>{{"Alpha", "11", "64", "Pop"},
                                           {"Beta", "22", "128", "Pop Rock"},
                                           {"Gamma", "33", "", ""}}));
  EXPECT_STREQ(net_ende->name, "Gamma");

  oruvel::copyBounded(which_bitrate, "100");
  ASSERT_TRUE(page(kThree));
  EXPECT_EQ(rowsByKey(), (std::vector<Row>{{"Beta", "22", "128", "Pop Rock"},
                                           {"Gamma", "33", "", ""}}));

  oruvel::copyBounded(which_bitrate, "128");
  ASSERT_TRUE(page(kThree));
  EXPECT_EQ(AnzahlNETElemente, 2);

  // strtol reading: blanks and sign before the digits, stops at the first
  // other character; a value without digits is 0.
  oruvel::copyBounded(which_bitrate, "96");
  ASSERT_TRUE(page("<station name=\"Lead\" br=\"  +128kbps\"/>\n"
                   "<station name=\"Junk\" br=\"fast\"/>\n"
                   "<station name=\"Neg\" br=\"-200\"/>\n"
                   "<station name=\"Ok\" br=\"96\"/>\n"));
  EXPECT_EQ(rowsByKey(), (std::vector<Row>{{"Lead", "", "  +128kbps", ""}, {"Ok", "", "96", ""}}));

  // "00" is not the text "0": the filter is on, at 0.
  oruvel::copyBounded(which_bitrate, "00");
  ASSERT_TRUE(page("<station name=\"Neg\" br=\"-1\"/>\n<station name=\"Zero\" br=\"0\"/>\n"));
  EXPECT_EQ(rowsByKey(), (std::vector<Row>{{"Zero", "", "0", ""}}));
}

TEST_F(StationList, FirstOccurrenceWinsAndValuesAreTakenAsTheyStand) {
  ASSERT_TRUE(page(
      "<station name=\"Radio id=\"7\" br=\"128\" id=\"99\"/>\n"
      "<station name=\"Rock &amp; Roll &lt;3\" id=\"5\"/>\n"
      "<station id=\"1\" br=\"128\"/>\n"
      "no station here\n"));
  std::vector<Row> rows = rowsByKey();
  ASSERT_EQ(rows.size(), 2u);
  // The id is cut from inside the name, where "id=" first occurs.
  EXPECT_EQ(rows[0].name, "Radio id=");
  EXPECT_EQ(rows[0].id, "7");
  EXPECT_EQ(rows[1].name, "Rock &amp; Roll &lt;3");
}

TEST_F(StationList, OneLinePageGivesAtMostOneStationPerPiece) {
  std::string station = "<station name=\"S\" id=\"1\" br=\"128\"/>";  // 35 characters
  std::string line;
  for (int i = 0; i < 40; ++i) line += station;  // 1400 characters: three 511-pieces
  ASSERT_TRUE(page(line + "\n"));
  EXPECT_EQ(AnzahlNETElemente, 3);
}

TEST_F(StationList, OverlongAndUnclosedValuesAreCutAtTheirField) {
  std::string longId(40, '1'), longBr(30, '9'), longGenre(300, 'g'), longName(400, 'n');
  ASSERT_TRUE(page("<station name=\"" + longName + "\" id=\"" + longId + "\"/>\n" +
                   "<station name=\"B\" br=\"" + longBr + "\" genre=\"" + longGenre + "\"/>\n" +
                   "<station id=\"3\" name=\"Unclosed\r\n"));
  std::vector<Row> rows = rowsByKey();
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].name, longName);
  EXPECT_EQ(rows[0].id, std::string(15, '1'));
  EXPECT_EQ(rows[1].bitrate, std::string(11, '9'));
  EXPECT_EQ(rows[1].genre, std::string(127, 'g'));
  EXPECT_EQ(rows[2].name, "Unclosed");
  EXPECT_EQ(rows[2].id, "3");
}

TEST_F(StationList, LocalFileTakesNameLineAndTheUrlLineAfterIt) {
  ASSERT_TRUE(local(
      "<?xml version=\"1.0\"?>\n<stations>\n\n"
      "<station name=\"Jazz Radio\"\r\n"
      "url=\"http://dir.example:80/sbin/tunein-station.pls?id=4321&amp;filename=playlist.pls\"/>\r\n"
      "<station name=\"NoUrl\"\n"
      "<station name=\"Swallowed\"\n"
      "<station name=\"BareId\"\n"
      "url=\"http://h/sbin/tunein-station.pls?id=123\"/>\n"
      "<station name=\"Last\"\n"));
  EXPECT_EQ(read_error, 0);
  // The line after a name line is consumed even when it names a station.
  EXPECT_EQ(rowsByKey(), (std::vector<Row>{{"Jazz Radio", "4321", "", ""},
                                           {"NoUrl", "", "", ""},
                                           {"BareId", "123", "", ""},
                                           {"Last", "", "", ""}}));
}

TEST_F(StationList, FailedReadKeepsTheEarlierListAndItsCount) {
  ASSERT_TRUE(page(kThree));
  StationNode* ende = net_ende;
  EXPECT_FALSE(oruvel::readDirectoryPage(root.at("/tmp/none")));
  EXPECT_EQ(read_error, 1);
  EXPECT_FALSE(oruvel::readLocalStations(root.at("/none.xml").c_str()));
  EXPECT_EQ(read_error, 1);
  EXPECT_EQ(AnzahlNETElemente, 3);
  EXPECT_EQ(net_ende, ende);
  NET_Element_ermitteln(2, AnzahlNETElemente);
  EXPECT_STREQ(net_anker->name, "Beta");

  // An empty page is no error: an empty list.
  ASSERT_TRUE(page(""));
  EXPECT_EQ(AnzahlNETElemente, 0);
  EXPECT_EQ(net_ende, nullptr);
  EXPECT_EQ(net_anker, nullptr);
  EXPECT_TRUE(oruvel::stationsInKeyOrder().empty());
}

TEST_F(StationList, KeyOrderWalkAndRemoveList) {
  ASSERT_TRUE(page(kThree));
  std::vector<StationNode*> nodes = oruvel::stationsInKeyOrder();
  ASSERT_EQ(nodes.size(), 3u);
  EXPECT_STREQ(nodes[0]->name, "Alpha");
  EXPECT_STREQ(nodes[2]->name, "Gamma");
  RemoveList();
  EXPECT_EQ(net_ende, nullptr);
  EXPECT_EQ(net_anker, nullptr);
  EXPECT_EQ(AnzahlNETElemente, 0);
  NET_Element_ermitteln(1, 0);
  EXPECT_EQ(net_anker, nullptr);
}

TEST_F(StationList, ManyReadsReleaseTheListsTheyReplace) {
  // Under the sanitizer build a leak of the replaced lists fails this test.
  for (int i = 0; i < 200; ++i) {
    ASSERT_TRUE(i % 2 ? page(kThree) : local("<station name=\"L\"\nurl=\"id=1&\"\n"));
  }
  EXPECT_EQ(AnzahlNETElemente, 3);
  NET_Element_ermitteln(1, AnzahlNETElemente);
  EXPECT_EQ(net_anker->next, nullptr);
}

}  // namespace
