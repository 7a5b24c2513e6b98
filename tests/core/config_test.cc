// The configuration reader on files as people really write them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "plugin/config.h"
#include "plugin/fixed_paths.h"
#include "plugin/fixed_text.h"
#include "plugin/fs_root.h"
#include "tests/support/temp_root.h"

namespace {

class ConfigTest : public ::testing::Test {
 protected:
  void SetUp() override {
    oruvel::setFsRoot(root.path());
    for (char* g : {RIPPER, RIPDIR, STATIONSFILE, MYSTATIONSFILE, MYPLAYLISTFILE, MYGENREFILE,
                    LUMOPIC})
      g[0] = '\0';
  }
  int read(const std::string& content) {
    root.write(oruvel::paths::kConfigFile, content);
    return ReadConfFile();
  }
  std::vector<std::string> tooLong() {
    int n = 0;
    const char* const* keys = oruvel::configTooLongKeys(&n);
    return std::vector<std::string>(keys, keys + n);
  }
  testsupport::TempRoot root;
};

TEST_F(ConfigTest, MissingFileIsAnErrorAndTouchesNothing) {
  oruvel::copyBounded(RIPPER, "/keep");
  EXPECT_EQ(ReadConfFile(), 1);
  EXPECT_STREQ(RIPPER, "/keep");
  EXPECT_EQ(read(""), 0) << "an empty file is no error";
}

TEST_F(ConfigTest, TypicalFileWithCrLfAndNoFinalNewline) {
  ASSERT_EQ(read("RIPPER=/var/bin/lumoripper\r\n"
                 "STATIONSFILE=/var/etc/stations.xml\r\n"
                 "MYSTATIONFILE=/var/etc/lumostations.xml\n"
                 "MYPLAYLISTFILE=/var/etc/playlist.m3u\n"
                 "MYGENREFILE=/var/etc/genre.xml\n"
                 "LUMOPIC=\n"
                 "RIPDIR=/hdd"),
            0);
  EXPECT_STREQ(RIPPER, "/var/bin/lumoripper");
  EXPECT_STREQ(STATIONSFILE, "/var/etc/stations.xml");
  EXPECT_STREQ(MYSTATIONSFILE, "/var/etc/lumostations.xml");
  EXPECT_STREQ(MYPLAYLISTFILE, "/var/etc/playlist.m3u");
  EXPECT_STREQ(MYGENREFILE, "/var/etc/genre.xml");
  EXPECT_STREQ(LUMOPIC, "");
  EXPECT_STREQ(RIPDIR, "/hdd") << "the last line keeps its last character";
  EXPECT_TRUE(tooLong().empty());

  // An empty remainder at the very end; a carriage return inside stays.
  ASSERT_EQ(read("RIPDIR=/a\rb\r\r\nLUMOPIC="), 0);
  EXPECT_STREQ(RIPDIR, "/a\rb\r");
  EXPECT_STREQ(LUMOPIC, "");
}

TEST_F(ConfigTest, KeysAreFoundAnywhereInALine) {
  ASSERT_EQ(read("#RIPPER=/bin/x\n"
                 "MYSTATIONSFILE=/x/fav.xml\n"
                 "   RIPDIR=/with blanks \n"
                 "MYGENREFILE=/a LUMOPIC=/b\n"
                 "LUMOPIC=/p1\nLUMOPIC=/p2\n"
                 "garbage without keys\n\n"),
            0);
  EXPECT_STREQ(RIPPER, "/bin/x");
  // The S spelling matches the station file key, not the favourites key.
  EXPECT_STREQ(STATIONSFILE, "/x/fav.xml");
  EXPECT_STREQ(MYSTATIONSFILE, "");
  EXPECT_STREQ(RIPDIR, "/with blanks ");
  // Every key runs to the end of its line; the last line wins.
  EXPECT_STREQ(MYGENREFILE, "/a LUMOPIC=/b");
  EXPECT_STREQ(LUMOPIC, "/p2");
}

TEST_F(ConfigTest, LongLinesAreSearchedInPieces) {
  ASSERT_EQ(read(std::string(260, '#') + "LUMOPIC=/pic.mvi\n"), 0);
  EXPECT_STREQ(LUMOPIC, "/pic.mvi");
  // A key split by the piece boundary is not found.
  ASSERT_EQ(read(std::string(252, '#') + "RIPPER=/split\n"), 0);
  EXPECT_STREQ(RIPPER, "");
  // A value running past its piece is taken whole, never cut there.
  std::string fitDir = "/" + std::string(254, 'd');
  ASSERT_EQ(read("RIPDIR=" + fitDir + "\n"), 0);
  EXPECT_EQ(std::string(RIPDIR), fitDir);
}

TEST_F(ConfigTest, OverlongValuesAreNamedAndNotTaken) {
  std::string longPath = "/" + std::string(127, 'p');  // 128 characters
  ASSERT_EQ(read("RIPPER=/old\n"
                 "LUMOPIC=" + longPath + "\n"
                 "RIPPER=" + longPath + "\n"
                 "RIPDIR=/" + std::string(255, 'd') + "\n"
                 "MYGENREFILE=" + longPath.substr(0, 127) + "\n"),
            0);
  EXPECT_STREQ(RIPPER, "/old");
  EXPECT_STREQ(LUMOPIC, "");
  EXPECT_STREQ(RIPDIR, "");
  EXPECT_EQ(std::string(MYGENREFILE), longPath.substr(0, 127));
  EXPECT_EQ(tooLong(), (std::vector<std::string>{"LUMOPIC", "RIPPER", "RIPDIR"}));

  // A later value that fits mends the report for that key.
  ASSERT_EQ(read("LUMOPIC=" + longPath + "\nLUMOPIC=/ok\n"), 0);
  EXPECT_STREQ(LUMOPIC, "/ok");
  EXPECT_TRUE(tooLong().empty());
}

TEST_F(ConfigTest, BinaryJunkIsHarmless) {
  std::string junk;
  for (int i = 0; i < 2000; ++i) junk += static_cast<char>((i * 37) & 0xff);
  EXPECT_EQ(read(junk + "\nRIPPER=/bin/\x01rip\n" + junk), 0);
  EXPECT_STREQ(RIPPER, "/bin/\x01rip");
}

}  // namespace
