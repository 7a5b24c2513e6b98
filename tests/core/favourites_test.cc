// Favourite records written, appended and read back.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <string>

#include "directory/favourites.h"
#include "directory/station_list.h"
#include "tests/support/temp_root.h"

namespace {

TEST(Favourites, RecordLayoutAndReadBackInSavingOrder) {
  setenv("ORUVEL_DIRECTORY", "dir.test:8370", 1);
  testsupport::TempRoot root;
  EXPECT_EQ(oruvel::favouriteRecord("Jazz Radio", "4321"),
            "<station name=\"Jazz Radio\"\n"
            "url=\"http://dir.test:8370/sbin/tunein-station.pls?id=4321&amp;filename=playlist.pls\"/>\n");

  std::string path = root.at("/fav.xml");
  std::FILE* file = std::fopen(path.c_str(), "a+");
  ASSERT_NE(file, nullptr);
  EXPECT_TRUE(oruvel::appendFavourite(file, "Jazz Radio", "4321"));
  EXPECT_TRUE(oruvel::appendFavourite(file, "Say \"Hi\" FM", "77"));
  EXPECT_TRUE(oruvel::appendFavourite(file, "Jazz Radio", "4321"));
  std::fclose(file);

  ASSERT_TRUE(oruvel::readLocalStations(path.c_str()));
  ASSERT_EQ(AnzahlNETElemente, 3);
  const char* names[] = {"Jazz Radio", "Say ", "Jazz Radio"};  // the name is cut at its quote
  const char* ids[] = {"4321", "77", "4321"};
  for (int key = 1; key <= 3; ++key) {
    NET_Element_ermitteln(key, AnzahlNETElemente);
    EXPECT_STREQ(net_anker->name, names[key - 1]);
    EXPECT_STREQ(net_anker->id, ids[key - 1]);
  }
  RemoveList();
}

TEST(Favourites, WriteThatDoesNotReachTheFileIsReported) {
  testsupport::TempRoot root;
  root.write("/fav.xml", "");
  std::FILE* readOnly = std::fopen(root.at("/fav.xml").c_str(), "r");
  ASSERT_NE(readOnly, nullptr);
  EXPECT_FALSE(oruvel::appendFavourite(readOnly, "Jazz Radio", "4321"));
  std::fclose(readOnly);
  EXPECT_EQ(root.read("/fav.xml"), "");
}

}  // namespace
