#include "tools/lumoripper/recorder.h"

#include <gtest/gtest.h>

#include "tests/lumoripper/ripper_harness.h"
#include "tests/support/temp_root.h"

using ripper::Recorder;
using rippertest::filesIn;
using testsupport::readFile;

namespace {

icy::StreamInfo info(const std::string& name, long metaint, const std::string& type = "audio/mpeg") {
  icy::StreamInfo i;
  i.status = 200;
  i.name = name;
  i.metaint = metaint;
  i.contentType = type;
  return i;
}

TEST(Recorder, HeldStartGoesToTheFirstTitleAndGapsKeepPartial) {
  testsupport::TempRoot root;
  Recorder r(root.path(), "host.example");
  ASSERT_TRUE(r.headers(info("", 100)));
  ASSERT_TRUE(r.audio("pre-", 4));
  ASSERT_TRUE(r.title("First"));
  ASSERT_TRUE(r.audio("one", 3));
  ASSERT_TRUE(r.title("Second"));
  ASSERT_TRUE(r.audio("two", 3));
  ASSERT_TRUE(r.headers(info("Other name", 100)));  // a reconnect mid-song
  ASSERT_TRUE(r.audio("+", 1));
  ASSERT_TRUE(r.title("Third"));  // first title after the reconnect: its start was missed
  ASSERT_TRUE(r.audio("three", 5));
  ASSERT_TRUE(r.title("Fourth"));
  ASSERT_TRUE(r.audio("four", 4));
  ASSERT_TRUE(r.title(""));  // an ad break without a title
  ASSERT_TRUE(r.audio("ad", 2));
  ASSERT_TRUE(r.finish());
  EXPECT_EQ(r.totalBytes(), 22u);

  std::string dir = root.path() + "/host.example";  // the first station name stays
  auto files = filesIn(dir);
  ASSERT_EQ(files.size(), 5u);
  EXPECT_EQ(files[0], "First (partial).mp3");
  EXPECT_EQ(files[1], "Fourth.mp3");
  EXPECT_EQ(files[2], "Second (partial).mp3");
  EXPECT_EQ(files[3], "Third (partial).mp3");
  EXPECT_TRUE(rippertest::hasShape(files[4], "host.example ####-##-## ##-##-## (partial).mp3"))
      << files[4];
  EXPECT_EQ(readFile(dir + "/First (partial).mp3"), "pre-one");
  EXPECT_EQ(readFile(dir + "/Second (partial).mp3"), "two+");
  EXPECT_EQ(readFile(dir + "/Third (partial).mp3"), "three");
  EXPECT_EQ(readFile(dir + "/Fourth.mp3"), "four");
  EXPECT_EQ(readFile(dir + "/" + files[4]), "ad");
}

TEST(Recorder, UntitledAudioIsNeverDropped) {
  testsupport::TempRoot root;
  {
    // Stopped before any title: the held bytes still reach a file.
    Recorder r(root.path(), "h");
    ASSERT_TRUE(r.headers(info("St", 8192)));
    ASSERT_TRUE(r.audio("abc", 3));
    EXPECT_EQ(r.trackBytes(), 3u);
    ASSERT_TRUE(r.finish());
  }
  auto files = filesIn(root.path() + "/St");
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(readFile(root.path() + "/St/" + files[0]), "abc");

  // A title that never comes: beyond the hold limit the start gets its own file.
  testsupport::TempRoot root2;
  Recorder r(root2.path(), "h");
  ASSERT_TRUE(r.headers(info("Big", 1 << 24)));
  std::string chunk(64 * 1024, 'z');
  for (std::size_t n = 0; n <= Recorder::kMaxHeld; n += chunk.size()) ASSERT_TRUE(r.audio(chunk.data(), chunk.size()));
  ASSERT_EQ(filesIn(root2.path() + "/Big").size(), 1u);
  ASSERT_TRUE(r.title("Late"));
  ASSERT_TRUE(r.audio("L", 1));
  ASSERT_TRUE(r.finish());
  EXPECT_EQ(r.totalBytes(), Recorder::kMaxHeld + chunk.size() + 1);
  EXPECT_EQ(readFile(root2.path() + "/Big/Late (partial).mp3"), "L");
}

}  // namespace
