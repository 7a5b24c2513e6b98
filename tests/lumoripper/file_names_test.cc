#include "tools/lumoripper/file_names.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "tools/lumoripper/progress.h"
#include "tests/support/temp_root.h"

using namespace ripper;
using testsupport::readFile;

TEST(FileNames, SafeNameKeepsNamesInsideTheFolderAndVisible) {
  EXPECT_EQ(safeName("AC/DC - Back in Black"), "AC-DC - Back in Black");
  EXPECT_EQ(safeName("../../etc/passwd"), "-..-etc-passwd");
  EXPECT_EQ(safeName("...hidden"), "hidden");
  EXPECT_EQ(safeName(" . .x"), "x");
  EXPECT_EQ(safeName("a\\b:c*d?e\"f<g>h|i"), "a-b-c-d-e-f-g-h-i");
  EXPECT_EQ(safeName("line\nbreak\r\x01\x7f\ttab"), "line break tab");
  EXPECT_EQ(safeName(std::string("nul\0byte", 8)), "nul byte");
  EXPECT_EQ(safeName("trailing dots...  "), "trailing dots");
  for (const char* nothing : {"", "..", " ", "\n\t", "."}) EXPECT_EQ(safeName(nothing), "") << nothing;
}

TEST(FileNames, SafeNameLengthBoundNeverSplitsACharacter) {
  EXPECT_EQ(safeName(std::string(500, 'x')).size(), kMaxNameBytes);
  std::string umlauts;
  for (int i = 0; i < 150; ++i) umlauts += "\xc3\xbc";  // 300 bytes of "ü"
  std::string cut = safeName(umlauts);
  EXPECT_EQ(cut.size(), kMaxNameBytes);
  EXPECT_EQ(safeName("x" + umlauts).size(), kMaxNameBytes - 1);  // "ü" would straddle the bound
  EXPECT_EQ(safeName("abc def", 4), "abc");
}

TEST(FileNames, HostOfUrl) {
  EXPECT_EQ(hostOf("https://user:pw@radio.example.org:8000/live?x=1"), "radio.example.org");
  EXPECT_EQ(hostOf("http://[::1]:8000/"), "::1");
  EXPECT_EQ(hostOf("no scheme"), "");
}

TEST(FileNames, NeverOverwriteAnEarlierFile) {
  testsupport::TempRoot root;
  std::string dir = root.path();
  testsupport::writeFile(dir + "/Song.mp3", "first");
  std::string path;
  int fd = createUnique(dir, "Song", ".mp3", path);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(path, dir + "/Song (2).mp3");
  ASSERT_EQ(write(fd, "second", 6), 6);
  close(fd);
  EXPECT_EQ(readFile(dir + "/Song.mp3"), "first");

  // Renaming onto a taken name picks the next free one.
  testsupport::writeFile(dir + "/tmp.part", "third");
  EXPECT_EQ(renameUnique(dir + "/tmp.part", dir, "Song", ".mp3"), dir + "/Song (3).mp3");
  EXPECT_EQ(readFile(dir + "/Song (3).mp3"), "third");
  EXPECT_FALSE(std::filesystem::exists(dir + "/tmp.part"));
  EXPECT_EQ(readFile(dir + "/Song (2).mp3"), "second");

  EXPECT_EQ(createUnique(dir + "/missing", "x", ".mp3", path), -1);
  EXPECT_EQ(renameUnique(dir + "/missing.part", dir, "y", ".mp3"), "");
}

TEST(Progress, LineLeadsWithTimeAndSizeAndStaysBounded) {
  EXPECT_EQ(progressLine("", 83, 1258291, "Artist - Title"), "01:23 1.2MB Artist - Title");
  EXPECT_EQ(progressLine("reconnecting (2/5)", 5, 2048, "X"), "reconnecting (2/5) 00:05 2KB X");
  EXPECT_EQ(progressLine("", 3723, 200ull << 20, ""), "1:02:03 200MB");
  EXPECT_EQ(formatSize(3ull << 30), "3.0GB");
  EXPECT_EQ(progressLine("", 0, 0, "a\nb"), "00:00 0KB a b");  // never a second line
  std::string longTitle(300, 't');
  EXPECT_EQ(progressLine("", 1, 1, longTitle).size(), 255u);
}

TEST(Progress, ReplaceLeavesOnlyTheNewLine) {
  testsupport::TempRoot root;
  std::string path = root.at("/tmp/lumorip");
  ASSERT_TRUE(replaceFileAtomically(path, "a much longer first line"));
  ASSERT_TRUE(replaceFileAtomically(path, "short"));
  EXPECT_EQ(readFile(path), "short");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(root.at("/tmp")),
                          std::filesystem::directory_iterator()), 1);
  EXPECT_FALSE(replaceFileAtomically(root.at("/nonexistent/dir/file"), "x"));
}
