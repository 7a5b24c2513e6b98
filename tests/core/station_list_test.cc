// The directory page and the local station files read into the Station list.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "directory/station_list.h"
#include "plugin/fixed_text.h"
#include "tests/support/temp_root.h"

namespace {

using Rows = std::vector<std::string>;

// The stations by key as "name|id|bitrate|genre", looked up as the window does.
Rows rowsByKey() {
  Rows rows;
  for (int key = 1; key <= AnzahlNETElemente; ++key) {
    NET_Element_ermitteln(key, AnzahlNETElemente);
    rows.push_back(std::string(net_anker->name) + "|" + net_anker->id + "|" + net_anker->bitrate +
                   "|" + net_anker->genre);
  }
  return rows;
}

class StationList : public ::testing::Test {
 protected:
  void TearDown() override { RemoveList(); }
  bool page(const std::string& content, const char* filter = "0") {
    oruvel::copyBounded(which_bitrate, filter);
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
  EXPECT_EQ(rowsByKey(), (Rows{"Alpha|11|64|Pop", "Beta|22|128|Pop Rock", "Gamma|33||"}));
  EXPECT_STREQ(net_ende->name, "Gamma");
  ASSERT_TRUE(page(kThree, "100"));
  EXPECT_EQ(rowsByKey(), (Rows{"Beta|22|128|Pop Rock", "Gamma|33||"}));
  ASSERT_TRUE(page(kThree, "128"));
  EXPECT_EQ(AnzahlNETElemente, 2);
  // Read as strtol does: blanks and a sign first, stop at the first other
  // character, no digits give 0. "00" is not "0": a filter at 0.
  const char* odd = "<station name=\"Lead\" br=\"  +128kbps\"/>\n<station name=\"Junk\" br=\"fast\"/>\n"
                    "<station name=\"Neg\" br=\"-1\"/>\n";
  ASSERT_TRUE(page(odd, "96"));
  EXPECT_EQ(rowsByKey(), (Rows{"Lead||  +128kbps|"}));
  ASSERT_TRUE(page(odd, "00"));
  EXPECT_EQ(rowsByKey(), (Rows{"Lead||  +128kbps|", "Junk||fast|"}));
}

TEST_F(StationList, ValuesAreCutAsTheyStandAndNeverOverrunTheirField) {
  std::string station = "<station name=\"S\" id=\"1\" br=\"128\"/>";  // 35 characters
  std::string oneLine;
  for (int i = 0; i < 40; ++i) oneLine += station;  // 1400 characters: three 511-pieces
  ASSERT_TRUE(page("<station name=\"Radio id=\"7\" br=\"128\" id=\"99\"/>\n"
                   "<station name=\"Rock &amp; Roll &lt;3\"/>\n<station id=\"1\"/>\n" +
                   oneLine + "\n<station name=\"" + std::string(300, 'n') + "\" id=\"" +
                   std::string(40, '1') + "\" br=\"" + std::string(30, '9') + "\" genre=\"" +
                   std::string(60, 'g') + "\"/>\n<station genre=\"" + std::string(300, 'g') +
                   "\" id=\"3\" name=\"Unclosed\r\n"));
  Rows rows = rowsByKey();
  ASSERT_EQ(rows.size(), 7u);
  EXPECT_EQ(rows[0], "Radio id=|7|128|");  // the first "id=" stands inside the name
  EXPECT_EQ(rows[1], "Rock &amp; Roll &lt;3|||");
  EXPECT_EQ(rows[2], "S|1|128|");
  EXPECT_EQ(rows[5], std::string(300, 'n') + "|" + std::string(15, '1') + "|" +
                         std::string(11, '9') + "|" + std::string(60, 'g'));
  EXPECT_EQ(rows[6], "Unclosed|3||" + std::string(127, 'g'));
}

TEST_F(StationList, LocalFileTakesNameLineAndTheUrlLineAfterIt) {
  ASSERT_TRUE(local(
      "<?xml version=\"1.0\"?>\n<stations>\n\n<station name=\"Jazz Radio\"\r\n"
      "url=\"http://dir:80/sbin/tunein-station.pls?id=4321&amp;filename=playlist.pls\"/>\r\n"
      "<station name=\"NoUrl\"\n<station name=\"Swallowed\"\n"
      "<station name=\"BareId\"\nurl=\"http://h/sbin/tunein-station.pls?id=123\"/>\n"
      "<station name=\"Last\"\n"));
  EXPECT_EQ(rowsByKey(), (Rows{"Jazz Radio|4321||", "NoUrl|||", "BareId|123||", "Last|||"}));
}

TEST_F(StationList, FailedReadKeepsTheListAndAnyOtherReplacesIt) {
  // Each read replaces the list before: nothing of it stays behind the new
  // one (under the sanitizer build, nothing leaks or is used once freed).
  for (int i = 0; i < 100; ++i)
    ASSERT_TRUE(i % 2 ? page(kThree) : local("<station name=\"L\"\nurl=\"id=1&\"\n"));
  NET_Element_ermitteln(1, AnzahlNETElemente);
  EXPECT_EQ(net_anker->next, nullptr);
  StationNode* ende = net_ende;
  EXPECT_FALSE(oruvel::readDirectoryPage(root.at("/tmp/none")));
  EXPECT_EQ(read_error, 1);
  EXPECT_FALSE(oruvel::readLocalStations(root.at("/none.xml").c_str()));
  EXPECT_EQ(read_error, 1);
  EXPECT_EQ(net_ende, ende);
  EXPECT_EQ(rowsByKey(), (Rows{"Alpha|11|64|Pop", "Beta|22|128|Pop Rock", "Gamma|33||"}));
  EXPECT_EQ(oruvel::stationsInKeyOrder().size(), 3u);

  ASSERT_TRUE(page(""));
  EXPECT_EQ(read_error, 0);
  EXPECT_EQ(AnzahlNETElemente, 0);
  EXPECT_EQ(net_anker, nullptr);
  EXPECT_TRUE(oruvel::stationsInKeyOrder().empty());
  RemoveList();
  EXPECT_EQ(net_ende, nullptr);
}

}  // namespace
