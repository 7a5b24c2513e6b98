// A favourite record that does not reach the file is not counted as saved.
#include <gtest/gtest.h>

#include <cstdio>

#include "directory/favourites.h"
#include "tests/support/temp_root.h"

TEST(Favourites, WriteThatDoesNotReachTheFileIsReported) {
  testsupport::TempRoot root;
  root.write("/fav.xml", "");
  std::FILE* readOnly = std::fopen(root.at("/fav.xml").c_str(), "r");
  ASSERT_NE(readOnly, nullptr);
  EXPECT_FALSE(oruvel::appendFavourite(readOnly, "Jazz Radio", "4321"));
  std::fclose(readOnly);
  EXPECT_EQ(root.read("/fav.xml"), "");
}
