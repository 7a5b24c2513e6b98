// The configuration reader on files as people really write them.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "plugin/config.h"
#include "plugin/fixed_paths.h"
#include "plugin/fs_root.h"
#include "tests/support/temp_root.h"

namespace {

using testsupport::TempRoot;

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
  TempRoot root;
};

TEST_F(ConfigTest, MissingFileIsAnErrorAndTouchesNothing) {
  std::string("/keep").copy(RIPPER, 5);
  RIPPER[5] = '\0';
  EXPECT_EQ(ReadConfFile(), 1);
  EXPECT_STREQ(RIPPER, "/keep");
}

TEST_F(ConfigTest, ReadOnlyFileCountsAsMissing) {
  root.write(oruvel::paths::kConfigFile, "RIPPER=/bin/rip\n");
  std::string path = root.at(oruvel::paths::kConfigFile);
  ASSERT_EQ(chmod(path.c_str(), 0444), 0);
  if (access(path.c_str(), W_OK) == 0) GTEST_SKIP() << "running as root";
  EXPECT_EQ(ReadConfFile(), 1);
  EXPECT_STREQ(RIPPER, "");
}

TEST_F(ConfigTest, TypicalFileSetsEveryGlobal) {
  ASSERT_EQ(read("RIPPER=/var/bin/lumoripper\n"
                 "RIPDIR=/hdd/music\n"
                 "STATIONSFILE=/var/etc/stations.xml\n"
                 "MYSTATIONFILE=/var/etc/lumostations.xml\n"
                 "MYPLAYLISTFILE=/var/etc/playlist.m3u\n"
                 "MYGENREFILE=/var/etc/genre.xml\n"
                 "LUMOPIC=/var/etc/radio.mvi\n"),
            0);
  EXPECT_STREQ(RIPPER, "/var/bin/lumoripper");
  EXPECT_STREQ(RIPDIR, "/hdd/music");
  EXPECT_STREQ(STATIONSFILE, "/var/etc/stations.xml");
  EXPECT_STREQ(MYSTATIONSFILE, "/var/etc/lumostations.xml");
  EXPECT_STREQ(MYPLAYLISTFILE, "/var/etc/playlist.m3u");
  EXPECT_STREQ(MYGENREFILE, "/var/etc/genre.xml");
  EXPECT_STREQ(LUMOPIC, "/var/etc/radio.mvi");
  EXPECT_TRUE(tooLong().empty());
}

TEST_F(ConfigTest, LineEndingsAndTheLastLine) {
  // CRLF endings lose both characters; a last line without newline keeps
  // its last character; an empty remainder at the very end is empty.
  ASSERT_EQ(read("RIPPER=/bin/rip\r\nMYGENREFILE=/g.xml\r\nLUMOPIC=\nRIPDIR=/hdd"), 0);
  EXPECT_STREQ(RIPPER, "/bin/rip");
  EXPECT_STREQ(MYGENREFILE, "/g.xml");
  EXPECT_STREQ(LUMOPIC, "");
  EXPECT_STREQ(RIPDIR, "/hdd");

  ASSERT_EQ(read("RIPPER=/x\nLUMOPIC="), 0);
  EXPECT_STREQ(LUMOPIC, "");
  // Only one carriage return goes; one inside the value stays.
  ASSERT_EQ(read("RIPDIR=/a\rb\r\r\n"), 0);
  EXPECT_STREQ(RIPDIR, "/a\rb\r");
}

TEST_F(ConfigTest, KeysAreFoundAnywhereAndMissingKeysStayEmpty) {
  ASSERT_EQ(read("# lumo settings\n"
                 "#RIPPER=/bin/x\n"
                 "MYSTATIONSFILE=/x/fav.xml\n"
                 "   RIPDIR=/with blanks \n"
                 "garbage without keys\n"
                 "\n"),
            0);
  EXPECT_STREQ(RIPPER, "/bin/x");
  // The S spelling matches the station file key, not the favourites key.
  EXPECT_STREQ(STATIONSFILE, "/x/fav.xml");
  EXPECT_STREQ(MYSTATIONSFILE, "");
  EXPECT_STREQ(RIPDIR, "/with blanks ");
  EXPECT_STREQ(MYGENREFILE, "");
  EXPECT_STREQ(LUMOPIC, "");
}

TEST_F(ConfigTest, OneLineMaySetSeveralKeysAndTheLastLineWins) {
  ASSERT_EQ(read("RIPPER=/a RIPDIR=/b\nLUMOPIC=/p1\nLUMOPIC=/p2\n"), 0);
  // Every key runs to the end of its line.
  EXPECT_STREQ(RIPPER, "/a RIPDIR=/b");
  EXPECT_STREQ(RIPDIR, "/b");
  EXPECT_STREQ(LUMOPIC, "/p2");
}

TEST_F(ConfigTest, EmptyFileIsNoError) {
  EXPECT_EQ(read(""), 0);
  EXPECT_STREQ(RIPPER, "");
}

TEST_F(ConfigTest, KeyInTheSecondPieceOfALongLineIsFound) {
  std::string filler(260, '#');
  ASSERT_EQ(read(filler + "LUMOPIC=/pic.mvi\n"), 0);
  EXPECT_STREQ(LUMOPIC, "/pic.mvi");
  // A key split by the piece boundary is not found.
  ASSERT_EQ(read(std::string(252, '#') + "RIPPER=/split\n"), 0);
  EXPECT_STREQ(RIPPER, "");
}

TEST_F(ConfigTest, OverlongValuesAreNamedAndNotTaken) {
  std::string longPath = "/" + std::string(127, 'p');  // 128 characters
  std::string longDir = "/" + std::string(255, 'd');   // 256 characters
  std::string fitDir = "/" + std::string(254, 'd');    // 255 characters
  ASSERT_EQ(read("RIPPER=/old\n"
                 "LUMOPIC=" + longPath + "\n"
                 "RIPPER=" + longPath + "\n"
                 "RIPDIR=" + longDir + "\n"
                 "MYGENREFILE=" + longPath.substr(0, 127) + "\n"),
            0);
  EXPECT_STREQ(RIPPER, "/old");
  EXPECT_STREQ(LUMOPIC, "");
  EXPECT_STREQ(RIPDIR, "");
  EXPECT_EQ(std::string(MYGENREFILE), longPath.substr(0, 127));
  EXPECT_EQ(tooLong(), (std::vector<std::string>{"LUMOPIC", "RIPPER", "RIPDIR"}));

  // A value that runs past the reader's piece is taken whole or not at all,
  // never cut at the piece boundary.
  ASSERT_EQ(read("RIPDIR=" + fitDir + "\n"), 0);
  EXPECT_EQ(std::string(RIPDIR), fitDir);
  EXPECT_TRUE(tooLong().empty());

  // A later fitting value mends the report for that key.
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
