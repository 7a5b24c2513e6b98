// The genre file read into the Genre list and the entries it announces.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "directory/genre_list.h"
#include "tests/support/temp_root.h"

namespace {

using Entries = std::vector<std::pair<std::string, int>>;

struct GenreRead {
  bool ok;
  Entries entries;
};

GenreRead readGenres(const testsupport::TempRoot& root, const std::string& content) {
  root.write("/genre.xml", content);
  GenreRead r;
  r.ok = oruvel::readGenreList(root.at("/genre.xml").c_str(), [&](const char* name, int key) {
    r.entries.emplace_back(name, key);
  });
  return r;
}

std::string nameAt(int key) {
  GENRE_Element_ermitteln(key, AnzahlGenreElemente);
  return genre_anker ? genre_anker->name : "<null>";
}

TEST(GenreList, ThreeGenresFollowTheTwoLocalEntries) {
  testsupport::TempRoot root;
  GenreRead r = readGenres(root,
                           "<?xml version=\"1.0\"?>\n<genrelist>\n"
                           "<genre name=\"Pop\"></genre>\n"
                           "<genre name=\"Rock\"></genre>\n"
                           "<genre name=\"Jazz\"></genre>\n</genrelist>\n");
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.entries, (Entries{{"local:lumostations.xml", 1},
                                {"local: stations.xml", 2},
                                {"Pop", 3},
                                {"Rock", 4},
                                {"Jazz", 5}}));
  EXPECT_EQ(AnzahlGenreElemente, 5);
  EXPECT_STREQ(genre_ende->name, "Jazz");
  EXPECT_EQ(nameAt(4), "Rock");
  EXPECT_EQ(nameAt(5), "Jazz");
  EXPECT_EQ(nameAt(3), "Pop");
  EXPECT_EQ(nameAt(1), "local:lumostations.xml");
  // Keys out of range stay on the list instead of walking off it.
  EXPECT_EQ(nameAt(0), "local:lumostations.xml");
  EXPECT_EQ(nameAt(-7), "local:lumostations.xml");
  EXPECT_EQ(nameAt(9), "Jazz");
}

TEST(GenreList, OnlyTheExactElementCountsAndNamesAreTakenByteForByte) {
  testsupport::TempRoot root;
  GenreRead r = readGenres(root,
                           "<genre name=\"First\"/><genre name=\"Second\"/>\n"
                           "<Genre name=\"Capital\"/>\n"
                           "<genre  name=\"TwoBlanks\"/>\n"
                           "  text before <genre name=\"R&amp;B\"/>\r\n"
                           "<genre name='Single'/>\n"
                           "<genre name=\"\"/>\n");
  ASSERT_TRUE(r.ok);
  // Only the first element of a line; a single-quoted name has no closing
  // double quote on its line and is skipped; an empty name is a genre.
  EXPECT_EQ(r.entries, (Entries{{"local:lumostations.xml", 1},
                                {"local: stations.xml", 2},
                                {"First", 3},
                                {"R&amp;B", 4},
                                {"", 5}}));
}

TEST(GenreList, LongLinesArePiecesAndOddNamesNeverOverrunTheField) {
  testsupport::TempRoot root;
  std::string longName(100, 'n');
  std::string split = std::string(250, ' ') + "<genre name=\"Split\"/>\n";  // crosses the 255 piece
  std::string second = std::string(260, ' ') + "<genre name=\"InSecondPiece\"/>\n";
  GenreRead r = readGenres(root, split + "<genre name=\"" + longName + "\"/>\n" +
                                     "<genre name=\"NoClosingQuote/>\n" + second +
                                     "<genre name=\"Last\"/>");
  ASSERT_TRUE(r.ok);
  Entries want{{"local:lumostations.xml", 1},
               {"local: stations.xml", 2},
               {std::string(63, 'n'), 3},
               {"InSecondPiece", 4},
               {"Last", 5}};
  EXPECT_EQ(r.entries, want);
  EXPECT_EQ(AnzahlGenreElemente, 5);
  EXPECT_STREQ(genre_ende->name, "Last");
}

TEST(GenreList, MissingFileChangesNothingAndAnEmptyFileGivesTheLocalEntries) {
  testsupport::TempRoot root;
  ASSERT_TRUE(readGenres(root, "<genre name=\"Kept\"/>\n").ok);
  GenreNode* before = genre_ende;

  Entries seen;
  EXPECT_FALSE(oruvel::readGenreList(root.at("/missing.xml").c_str(),
                                     [&](const char* n, int k) { seen.emplace_back(n, k); }));
  EXPECT_TRUE(seen.empty());
  EXPECT_EQ(AnzahlGenreElemente, 0);
  EXPECT_EQ(genre_ende, before);
  EXPECT_STREQ(genre_ende->name, "Kept");

  GenreRead empty = readGenres(root, "");
  ASSERT_TRUE(empty.ok);
  EXPECT_EQ(empty.entries.size(), 2u);
  EXPECT_EQ(AnzahlGenreElemente, 2);
  EXPECT_STREQ(genre_ende->name, "local: stations.xml");
}

TEST(GenreList, ReadingAgainReplacesTheList) {
  testsupport::TempRoot root;
  for (int round = 0; round < 50; ++round) {
    GenreRead r = readGenres(root, "<genre name=\"G" + std::to_string(round) + "\"/>\n");
    ASSERT_TRUE(r.ok);
    ASSERT_EQ(AnzahlGenreElemente, 3);
  }
  EXPECT_EQ(nameAt(3), "G49");
  // Nothing of the earlier lists hangs behind the new one.
  EXPECT_EQ(nameAt(1), "local:lumostations.xml");
  EXPECT_EQ(genre_anker->next, nullptr);
}

}  // namespace
