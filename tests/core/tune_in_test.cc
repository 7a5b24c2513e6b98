// Tune-in and directory commands run through a real shell against a
// stand-in wget, the playlist read back, and the strings built from it.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>

#include "directory/directory_download.h"
#include "directory/tune_in.h"
#include "plugin/config.h"
#include "plugin/fixed_text.h"
#include "plugin/fs_root.h"
#include "plugin/shell.h"
#include "tests/support/temp_root.h"

namespace {

using testsupport::TempRoot;

// A root of its own, with a wget in front of PATH that logs its arguments
// one per line and prints the file named by FAKE_WGET_BODY.
class TuneIn : public ::testing::Test {
 protected:
  void SetUp() override {
    oruvel::setFsRoot(root.path());
    setenv("ORUVEL_DIRECTORY", "dir.test:8370", 1);
    root.write("/bin/wget",
               "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done >> \"$FAKE_WGET_LOG\"\n"
               "cat \"$FAKE_WGET_BODY\"\n");
    chmod(root.at("/bin/wget").c_str(), 0755);
    oldPath = getenv("PATH");
    setenv("PATH", (root.at("/bin") + ":" + oldPath).c_str(), 1);
    setenv("FAKE_WGET_LOG", root.at("/wget.log").c_str(), 1);
    setenv("FAKE_WGET_BODY", root.at("/body").c_str(), 1);
    oruvel::copyBounded(RIPPER, "/bin/rip");
    oruvel::copyBounded(RIPDIR, "/hdd/music");
    play_stream[0] = '\0';
  }
  void TearDown() override { setenv("PATH", oldPath.c_str(), 1); }

  void playlist(const std::string& content) { root.write("/tmp/lumolist.m3u", content); }

  TempRoot root;
  std::string oldPath;
};

TEST_F(TuneIn, GenreReachesWgetIntactAndRunsNothing) {
  root.write("/body", "<station name=\"A\"/>\n");
  std::string genre = "a b&c;d'e\"$(touch pwned)`touch pwned2`|>x";
  oruvel::runShell("cd " + oruvel::shellQuote(root.path()) + " && " +
                   oruvel::directoryPageCommand(genre));
  EXPECT_EQ(root.read("/wget.log"),
            "-T\n10\n-t\n2\n-O\n-\nhttp://dir.test:8370/sbin/newxml.phtml?genre="
            "a%20b%26c%3Bd%27e%22%24%28touch%20pwned%29%60touch%20pwned2%60%7C%3Ex\n");
  EXPECT_EQ(root.read("/tmp/lumonet"), "<station name=\"A\"/>\n");
  EXPECT_FALSE(root.exists("/pwned"));
  EXPECT_FALSE(root.exists("/pwned2"));
  EXPECT_FALSE(root.exists("/x"));

  // An empty genre ends the query at "genre=".
  EXPECT_EQ(oruvel::directoryPageUrl(""), "http://dir.test:8370/sbin/newxml.phtml?genre=");
}

TEST_F(TuneIn, PipelineKeepsTheFileUrlsAndTheFirstOneIsTaken) {
  root.write("/body",
             "[playlist]\r\nnumberofentries=2\r\nFile1=http://one.example:8000/live\r\n"
             "Title1=(#1) One\r\nFile2=http://two.example/\r\nLength1=-1\r\n");
  oruvel::runShell("cd " + oruvel::shellQuote(root.path()) + " && " +
                   oruvel::playlistCommand("12;touch pwned"));
  EXPECT_FALSE(root.exists("/pwned"));
  EXPECT_EQ(root.read("/wget.log"),
            "-T\n10\n-t\n2\n-O\n-\nhttp://dir.test:8370/sbin/tunein-station.pls?id=12%3Btouch%20pwned\n");
  EXPECT_EQ(root.read("/tmp/lumolist.m3u"),
            "http://one.example:8000/live\r\nhttp://two.example/\r\n");
  ASSERT_EQ(oruvel::resolveStreamStrings(), 0);
  EXPECT_STREQ(playlist_string, "http://one.example:8000/live");
  EXPECT_STREQ(play_stream, "4096:0:0:0:0:0:0:0:0:0:http://one.example:8000/live");
  EXPECT_STREQ(ripp_stream, "/bin/rip http://one.example:8000/live -d /hdd/music");
}

TEST_F(TuneIn, OpenPlayListStripsOnlyTheLineEnd) {
  playlist("http://a/x\n");
  ASSERT_EQ(OpenPlayList(), 0);
  EXPECT_STREQ(playlist_string, "http://a/x");
  playlist("http://a/last-char-kept");
  ASSERT_EQ(OpenPlayList(), 0);
  EXPECT_STREQ(playlist_string, "http://a/last-char-kept");
  playlist("\n");
  ASSERT_EQ(OpenPlayList(), 0);
  EXPECT_STREQ(playlist_string, "");
  playlist("");
  EXPECT_EQ(OpenPlayList(), 1);
  playlist("http://" + std::string(300, 'u') + "\n");
  EXPECT_EQ(OpenPlayList(), 1);
  std::remove(root.at("/tmp/lumolist.m3u").c_str());
  EXPECT_EQ(OpenPlayList(), 1);
}

TEST_F(TuneIn, UrlThatDoesNotFitIsAnUnreadablePlaylist) {
  playlist("http://first/\n");
  ASSERT_EQ(oruvel::resolveStreamStrings(), 0);
  // 232 URL characters fit behind the prefix; 233 do not.
  oruvel::copyBounded(RIPPER, "r");
  oruvel::copyBounded(RIPDIR, "d");
  std::string fits = "http://" + std::string(225, 'f');
  playlist(fits + "\n");
  ASSERT_EQ(oruvel::resolveStreamStrings(), 0);
  EXPECT_EQ(std::string(play_stream), "4096:0:0:0:0:0:0:0:0:0:" + fits);

  playlist(fits + "g\n");
  EXPECT_EQ(oruvel::resolveStreamStrings(), 1);
  EXPECT_STREQ(playlist_string, "");
  EXPECT_STREQ(ripp_stream, "");
  EXPECT_EQ(std::string(play_stream), "4096:0:0:0:0:0:0:0:0:0:" + fits);  // the earlier station

  // Short URL, but RIPPER and RIPDIR leave no room in ripp_stream.
  oruvel::copyBounded(RIPDIR, std::string(250, 'd'));
  playlist("http://short/\n");
  EXPECT_EQ(oruvel::resolveStreamStrings(), 1);
  EXPECT_STREQ(ripp_stream, "");
}

TEST_F(TuneIn, RipperCommandLineQuotesEveryPart) {
  root.write("/bin/rip", "#!/bin/sh\nfor a in \"$@\"; do printf '[%s]' \"$a\"; done > \"$RIP_LOG\"\n");
  chmod(root.at("/bin/rip").c_str(), 0755);
  setenv("RIP_LOG", root.at("/rip.log").c_str(), 1);
  oruvel::copyBounded(RIPPER, root.at("/bin/rip"));
  oruvel::copyBounded(RIPDIR, root.at("/my music/it's here"));
  playlist("http://s.example/a?b=1&c=$(touch pwned);x\n");
  ASSERT_EQ(oruvel::resolveStreamStrings(), 0);
  EXPECT_EQ(std::string(ripp_stream), root.at("/bin/rip") +
                                          " http://s.example/a?b=1&c=$(touch pwned);x -d " +
                                          root.at("/my music/it's here"));
  oruvel::runShell(oruvel::ripperCommandLine());
  EXPECT_EQ(root.read("/rip.log"), "[http://s.example/a?b=1&c=$(touch pwned);x][-d][" +
                                       root.at("/my music/it's here") + "]");
  EXPECT_FALSE(root.exists("/pwned"));
}

}  // namespace
