// The genre file read into the Genre list and the entries it announces.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "directory/genre_list.h"
#include "tests/support/temp_root.h"

namespace {

using Entries = std::vector<std::pair<std::string, int>>;
const Entries kLocal = {{"local:lumostations.xml", 1}, {"local: stations.xml", 2}};

// Reads `content` as the genre file; the entries announced, or none.
Entries readGenres(const testsupport::TempRoot& root, const std::string& content) {
  root.write("/genre.xml", content);
  Entries seen;
  oruvel::readGenreList(root.at("/genre.xml").c_str(),
                        [&](const char* name, int key) { seen.emplace_back(name, key); });
  return seen;
}

std::string nameAt(int key) {
  GENRE_Element_ermitteln(key, AnzahlGenreElemente);
  return genre_anker->name;
}

TEST(GenreList, GenresFollowTheLocalEntriesAndAreFoundByKey) {
  testsupport::TempRoot root;
  Entries want = kLocal;
  want.insert(want.end(), {{"Pop", 3}, {"Rock", 4}, {"Jazz", 5}});
  EXPECT_EQ(readGenres(root, "<genrelist>\n<genre name=\"Pop\"></genre>\n"
                             "<genre name=\"Rock\"></genre>\n<genre name=\"Jazz\"></genre>\n"),
            want);
  EXPECT_EQ(AnzahlGenreElemente, 5);
  EXPECT_STREQ(genre_ende->name, "Jazz");
  EXPECT_EQ(nameAt(4), "Rock");
  EXPECT_EQ(nameAt(5), "Jazz");
  EXPECT_EQ(nameAt(1), "local:lumostations.xml");
  // Keys out of range stay on the list instead of walking off it.
  EXPECT_EQ(nameAt(-7), "local:lumostations.xml");
  EXPECT_EQ(nameAt(9), "Jazz");
}

TEST(GenreList, OnlyTheExactElementCountsAndNothingOverrunsTheField) {
  testsupport::TempRoot root;
  Entries want = kLocal;
  want.insert(want.end(),
              {{"First", 3}, {"R&amp;B", 4}, {"", 5}, {std::string(63, 'n'), 6}, {"Second", 7}});
  EXPECT_EQ(readGenres(root,
                       "<genre name=\"First\"/><genre name=\"Other\"/>\n"
                       "<Genre name=\"Capital\"/>\n<genre  name=\"TwoBlanks\"/>\n"
                       "  before <genre name=\"R&amp;B\"/>\r\n"
                       "<genre name='Single'/>\n<genre name=\"NoClosingQuote/>\n"
                       "<genre name=\"\"/>\n"
                       "<genre name=\"" + std::string(100, 'n') + "\"/>\n" +
                       std::string(250, ' ') + "<genre name=\"SplitByThePiece\"/>\n" +
                       std::string(260, ' ') + "<genre name=\"Second\"/>"),
            want);
}

TEST(GenreList, MissingFileChangesNothingAndReadingAgainReplacesTheList) {
  testsupport::TempRoot root;
  EXPECT_EQ(readGenres(root, ""), kLocal);
  for (int round = 0; round < 20; ++round)
    readGenres(root, "<genre name=\"G" + std::to_string(round) + "\"/>\n");
  EXPECT_EQ(nameAt(3), "G19");
  EXPECT_EQ(nameAt(1), "local:lumostations.xml");
  EXPECT_EQ(genre_anker->next, nullptr);  // nothing of earlier lists behind it

  GenreNode* before = genre_ende;
  EXPECT_FALSE(oruvel::readGenreList(root.at("/missing.xml").c_str(), [](const char*, int) {
    ADD_FAILURE() << "no entry from a missing file";
  }));
  EXPECT_EQ(AnzahlGenreElemente, 0);
  EXPECT_EQ(genre_ende, before);
}

}  // namespace
