// The ripper's parts on their own: file names, the progress line and the
// recorder that turns audio and titles into files.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <regex>

#include "tests/lumoripper/ripper_harness.h"
#include "tools/lumoripper/file_names.h"
#include "tools/lumoripper/progress.h"
#include "tools/lumoripper/recorder.h"

using namespace ripper;
using rippertest::Files;
using rippertest::filesIn;
using testsupport::readFile;

TEST(FileNames, SafeNamesStayInsideTheFolderVisibleAndWhole) {
  const std::pair<std::string, std::string> names[] = {
      {"AC/DC - Back in Black", "AC-DC - Back in Black"}, {"../../etc/passwd", "-..-etc-passwd"},
      {"...hidden", "hidden"}, {" . .x", "x"}, {"a\\b:c*d?e\"f<g>h|i", "a-b-c-d-e-f-g-h-i"},
      {"line\nbreak\r\x01\x7f\ttab", "line break tab"}, {std::string("nul\0byte", 8), "nul byte"},
      {"trailing dots...  ", "trailing dots"}, {"", ""}, {"..", ""}, {" ", ""}, {"\n\t", ""}, {".", ""}};
  for (const auto& [in, out] : names) EXPECT_EQ(safeName(in), out) << in;
  // The length bound never splits a character.
  std::string umlauts;
  for (int i = 0; i < 150; ++i) umlauts += "\xc3\xbc";  // 300 bytes of "ü"
  EXPECT_EQ(safeName(std::string(500, 'x')).size(), kMaxNameBytes);
  EXPECT_EQ(safeName(umlauts).size(), kMaxNameBytes);
  EXPECT_EQ(safeName("x" + umlauts).size(), kMaxNameBytes - 1);  // "ü" would straddle the bound
  EXPECT_EQ(safeName("abc def", 4), "abc");
  EXPECT_EQ(hostOf("https://user:pw@radio.example.org:8000/live?x=1"), "radio.example.org");
  EXPECT_EQ(hostOf("http://[::1]:8000/"), "::1");
  EXPECT_EQ(hostOf("no scheme"), "");
}

TEST(FileNames, NeverOverwriteAnEarlierFile) {
  testsupport::TempRoot root;
  const std::string dir = root.path() + "/music";
  testsupport::writeFile(dir + "/Song.mp3", "first");
  testsupport::writeFile(root.path() + "/tmp.part", "third");
  std::string path;
  const int fd = createUnique(dir, "Song", ".mp3", path);
  ASSERT_EQ(write(fd, "second", 6), 6);
  close(fd);
  EXPECT_EQ(renameUnique(root.path() + "/tmp.part", dir, "Song", ".mp3"), dir + "/Song (3).mp3");
  EXPECT_EQ(filesIn(dir), (Files{{"Song.mp3", "first"}, {"Song (2).mp3", "second"}, {"Song (3).mp3", "third"}}));
  EXPECT_FALSE(root.exists("/tmp.part"));
  EXPECT_EQ(createUnique(dir + "/missing", "x", ".mp3", path), -1);
  EXPECT_EQ(renameUnique(dir + "/missing.part", dir, "y", ".mp3"), "");
}

TEST(Progress, LineLeadsWithTimeAndSizeStaysOneBoundedLineAndIsReplacedWhole) {
  EXPECT_EQ(progressLine("", 83, 1258291, "Artist - Title"), "01:23 1.2MB Artist - Title");
  EXPECT_EQ(progressLine("reconnecting (2/5)", 5, 2048, "X"), "reconnecting (2/5) 00:05 2KB X");
  EXPECT_EQ(progressLine("", 3723, 200ull << 20, ""), "1:02:03 200MB");
  EXPECT_EQ(formatSize(3ull << 30), "3.0GB");
  EXPECT_EQ(progressLine("", 0, 0, "a\nb"), "00:00 0KB a b");  // never a second line
  EXPECT_EQ(progressLine("", 1, 1, std::string(300, 't')).size(), 255u);
  testsupport::TempRoot root;
  ASSERT_TRUE(replaceFileAtomically(root.at("/tmp/lumorip"), "a much longer first line"));
  ASSERT_TRUE(replaceFileAtomically(root.at("/tmp/lumorip"), "short"));
  EXPECT_EQ(filesIn(root.at("/tmp")), (Files{{"lumorip", "short"}}));  // no temporary file left
  EXPECT_FALSE(replaceFileAtomically(root.at("/nonexistent/dir/file"), "x"));
}

namespace {

icy::StreamInfo info(const std::string& name, long metaint) {
  icy::StreamInfo i;
  i.status = 200, i.name = name, i.metaint = metaint, i.contentType = "audio/mpeg";
  return i;
}

// Takes the one file named by station and time out of `files`; its content.
std::string takeTimedFile(Files& files, const std::string& station) {
  const std::regex timed(station + R"( 20\d\d-(0[1-9]|1[0-2])-(0[1-9]|[12]\d|3[01]) \d\d-\d\d-\d\d \(partial\)\.mp3)");
  const auto it = std::find_if(files.begin(), files.end(), [&](auto& f) { return std::regex_match(f.first, timed); });
  if (it == files.end()) return "(no timed file)";
  const std::string content = it->second;
  return files.erase(it), content;
}

}  // namespace

TEST(Recorder, HeldStartGoesToTheFirstTitleAndGapsKeepPartial) {
  testsupport::TempRoot root;
  Recorder r(root.path(), "host.example");
  // (title, audio after it); "-" marks new headers: a reconnect mid-song.
  // Third is the first title after the reconnect: its start was missed; "" an ad break.
  const std::pair<const char*, const char*> steps[] = {{nullptr, "pre-"}, {"First", "one"}, {"Second", "two"},
                                                       {"-", "+"}, {"Third", "three"}, {"Fourth", "four"}, {"", "ad"}};
  ASSERT_TRUE(r.headers(info("", 100)));
  for (const auto& [title, audio] : steps) {
    if (title) { ASSERT_TRUE(std::string(title) == "-" ? r.headers(info("Other name", 100)) : r.title(title)); }
    ASSERT_TRUE(r.audio(audio, std::strlen(audio)));
  }
  ASSERT_TRUE(r.finish());
  EXPECT_EQ(r.totalBytes(), 22u);
  Files files = rippertest::audioIn(root.path() + "/host.example");  // the first station name stays
  EXPECT_EQ(takeTimedFile(files, R"(host\.example)"), "ad");
  EXPECT_EQ(files, (Files{{"First (partial).mp3", "pre-one"}, {"Second (partial).mp3", "two+"},
                          {"Third (partial).mp3", "three"}, {"Fourth.mp3", "four"}}));
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
  Files files = rippertest::audioIn(root.path() + "/St");
  EXPECT_EQ(takeTimedFile(files, "St"), "abc");
  EXPECT_EQ(files, Files{});

  // A title that never comes: beyond the hold limit the start gets its own file.
  Recorder r(root.path(), "h");
  ASSERT_TRUE(r.headers(info("Big", 1 << 24)));
  const std::string chunk(64 * 1024, 'z');
  for (std::size_t n = 0; n <= Recorder::kMaxHeld; n += chunk.size()) ASSERT_TRUE(r.audio(chunk.data(), chunk.size()));
  ASSERT_EQ(filesIn(root.path() + "/Big").size(), 1u);
  ASSERT_TRUE(r.title("Late"));
  ASSERT_TRUE(r.audio("L", 1));
  ASSERT_TRUE(r.finish());
  EXPECT_EQ(r.totalBytes(), Recorder::kMaxHeld + chunk.size() + 1);
  EXPECT_EQ(rippertest::untag(readFile(root.path() + "/Big/Late (partial).mp3")).audio, "L");
}

TEST(Recorder, ShortWritesLoseNothingAndTheTagLeadsTheFile) {
  testsupport::TempRoot root;
  // A disk that takes at most 7 bytes a write, as a pipe or a network share may.
  Recorder r(root.path(), "h", [](int fd, const void* data, std::size_t len) { return ::write(fd, data, std::min<std::size_t>(len, 7)); });
  ASSERT_TRUE(r.headers(info("Radio \xe9t\xe9\x01", 100)));  // Latin-1, with a control character
  ASSERT_TRUE(r.title("Some Band - A - Song"));
  std::string audio;
  for (int i = 0; i < 1000; ++i) audio += static_cast<char>(i * 7);
  ASSERT_TRUE(r.audio(audio.data(), audio.size()));
  ASSERT_TRUE(r.finish());
  rippertest::Tagged t = rippertest::untag(readFile(root.path() + "/Radio \xc3\xa9t\xc3\xa9/Some Band - A - Song (partial).mp3"));
  EXPECT_EQ(t.audio, audio);
  // The day of the recording: this century, a real month and day.
  EXPECT_TRUE(std::regex_match(t.frames["TDRC"], std::regex(R"(20\d\d-(0[1-9]|1[0-2])-(0[1-9]|[12]\d|3[01]))"))) << t.frames["TDRC"];
  t.frames.erase("TDRC");
  EXPECT_EQ(t.frames, (std::map<std::string, std::string>{
                          {"TPE1", "Some Band"}, {"TIT2", "A - Song"}, {"TRSN", "Radio \xc3\xa9t\xc3\xa9"}}));

  // A write that takes nothing is a full disk; a failed one keeps its own reason.
  const Recorder::WriteFn takesNothing = [](int, const void*, std::size_t) -> ssize_t { return 0; };
  const Recorder::WriteFn fails = [](int, const void*, std::size_t) -> ssize_t { errno = EIO; return -1; };
  for (auto [write, reason] : {std::pair{takesNothing, "No space left on device"}, {fails, "Input/output error"}}) {
    Recorder broken(root.path(), "h", write);
    errno = 0;
    const bool wrote = broken.headers(info("Full", 100)) && broken.title("T") && broken.audio(audio.data(), 1) &&
                       broken.finish();
    EXPECT_FALSE(wrote);
    EXPECT_NE(broken.error().find(std::string(".mp3: ") + reason), std::string::npos) << broken.error();
  }
}
