// The playlist read back, the strings built from it, and the ripper's
// command line run through a real shell.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <utility>

#include "directory/tune_in.h"
#include "ripper/ripper_control.h"
#include "base/config.h"
#include "base/fixed_text.h"
#include "base/fs_root.h"
#include "base/shell.h"
#include "tests/support/temp_root.h"

namespace {

const std::string kPrefix = "4096:0:0:0:0:0:0:0:0:0:";

TEST(TuneIn, PlaylistLineTheStringsThatMustFitAndTheRipperCommandLine) {
  testsupport::TempRoot root;
  oruvel::setFsRoot(root.path());
  oruvel::TuneIn tuneIn;
  oruvel::Config config;
  const long filesBefore = testsupport::openDescriptors();
  EXPECT_EQ(OpenPlayList(tuneIn), 1) << "no playlist";
  // The playlist file, and the result with the line read: only the line end
  // is stripped; 255 characters are the longest that fit.
  const std::pair<std::string, std::string> cases[] = {
      {"http://a/x\r\nhttp://b/\n", "0 http://a/x"}, {"http://a/last-char-kept", "0 http://a/last-char-kept"},
      {"\n", "0 "}, {"", "1 "}, {std::string(255, 'u') + "\n", "0 " + std::string(255, 'u')},
      {std::string(256, 'u') + "\n", "1 "}, {"http://" + std::string(300, 'u') + "\n", "1 "}};
  for (const auto& [file, seen] : cases) {
    root.write("/tmp/lumolist.m3u", file);
    tuneIn.playlist_string[0] = '\0';
    EXPECT_EQ(std::to_string(OpenPlayList(tuneIn)) + " " + tuneIn.playlist_string, seen) << file;
  }
  EXPECT_EQ(testsupport::openDescriptors(), filesBefore) << "a read leaves no file open";

  // 232 URL characters fit behind the prefix; 233 do not, and the earlier
  // station stays.
  oruvel::copyBounded(config.RIPPER, "r");
  oruvel::copyBounded(config.RIPDIR, "d");
  const std::string fits = "http://" + std::string(225, 'f');
  root.write("/tmp/lumolist.m3u", fits + "\n");
  ASSERT_TRUE(oruvel::resolveStreamStrings(tuneIn, config));
  EXPECT_EQ(tuneIn.play_stream, kPrefix + fits);
  root.write("/tmp/lumolist.m3u", fits + "g\n");
  EXPECT_FALSE(oruvel::resolveStreamStrings(tuneIn, config));
  EXPECT_EQ(std::string(tuneIn.playlist_string) + tuneIn.ripp_stream + "|" + tuneIn.play_stream, "|" + kPrefix + fits);
  // A short URL, but RIPPER and RIPDIR leave no room in tuneIn.ripp_stream.
  oruvel::copyBounded(config.RIPDIR, std::string(250, 'd'));
  root.write("/tmp/lumolist.m3u", "http://short/\n");
  EXPECT_FALSE(oruvel::resolveStreamStrings(tuneIn, config));
  EXPECT_STREQ(tuneIn.ripp_stream, "");
  // A playlist that cannot be read after a resolved one leaves no old address.
  oruvel::copyBounded(config.RIPDIR, "d");
  ASSERT_TRUE(oruvel::resolveStreamStrings(tuneIn, config));
  std::remove(root.at("/tmp/lumolist.m3u").c_str());
  EXPECT_FALSE(oruvel::resolveStreamStrings(tuneIn, config));
  EXPECT_EQ(std::string(tuneIn.playlist_string) + tuneIn.ripp_stream, "");

  // Through a real shell the ripper gets each part as one word, and nothing runs.
  root.write("/bin/rip", "#!/bin/sh\nfor a in \"$@\"; do printf '[%s]' \"$a\"; done > " + root.at("/rip.log") + "\n");
  chmod(root.at("/bin/rip").c_str(), 0755);
  oruvel::copyBounded(config.RIPPER, root.at("/bin/rip"));
  oruvel::copyBounded(config.RIPDIR, root.at("/my music/it's here"));
  root.write("/tmp/lumolist.m3u", "http://s.example/a?b=1&c=$(touch pwned);x\n");
  ASSERT_TRUE(oruvel::resolveStreamStrings(tuneIn, config));
  oruvel::runShell("cd " + oruvel::shellQuote(root.path()) + " && " + oruvel::ripper::Control::commandLine(config, tuneIn.playlist_string));
  EXPECT_EQ(root.read("/rip.log"),
            "[http://s.example/a?b=1&c=$(touch pwned);x][-d][" + root.at("/my music/it's here") + "]");
  EXPECT_FALSE(root.exists("/pwned"));
}

}  // namespace
