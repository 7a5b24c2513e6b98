// The ripper's files: the probe's reading of the pidof output and the
// checks that stand between /tmp/lumopid and a kill.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "plugin/fixed_paths.h"
#include "plugin/fs_root.h"
#include "ripper/ripper_files.h"
#include "tests/support/temp_root.h"

namespace {

using oruvel::ripper::PidFile;
using oruvel::ripper::Probe;
using testsupport::TempRoot;

// Puts a fake pidof first on PATH that prints `output`, so the probe's
// reading is tested without looking at real processes.
class FakePidof {
 public:
  FakePidof(const TempRoot& root, const std::string& printfArg) : dir_(root.path() + "/fakebin") {
    std::string script = "#!/bin/sh\nprintf '" + printfArg + "'\n";
    testsupport::writeFile(dir_ + "/pidof", script);
    chmod((dir_ + "/pidof").c_str(), 0755);
    const char* path = std::getenv("PATH");
    oldPath_ = path ? path : "";
    setenv("PATH", (dir_ + ":" + oldPath_).c_str(), 1);
  }
  ~FakePidof() { setenv("PATH", oldPath_.c_str(), 1); }

 private:
  std::string dir_, oldPath_;
};

class RipperFilesTest : public ::testing::Test {
 protected:
  void SetUp() override { oruvel::setFsRoot(root.path()); }
  TempRoot root;
};

TEST_F(RipperFilesTest, ProbeReadsThePidofOutput) {
  struct Case {
    const char* output;
    Probe expected;
  } cases[] = {
      {"", Probe::none},          // pidof that writes nothing at all
      {"\\n", Probe::none},       // pidof that writes a lone newline
      {"4711\\n", Probe::running},
      {"12 345\\n", Probe::running},
  };
  for (const Case& c : cases) {
    root.write(oruvel::paths::kLumoPid, "4711\n");
    FakePidof fake(root, c.output);
    EXPECT_EQ(oruvel::ripper::probe(), c.expected) << "pidof output: " << c.output;
    // Only a probe that finds no ripper removes the ripper's PID file.
    EXPECT_EQ(root.exists(oruvel::paths::kLumoPid), c.expected == Probe::running) << c.output;
    EXPECT_TRUE(root.exists(oruvel::paths::kLumoPidProbe));
  }
}

TEST_F(RipperFilesTest, PidFileContents) {
  char pid[7];
  EXPECT_EQ(oruvel::ripper::readPidFile(pid), PidFile::missing);
  EXPECT_STREQ(pid, "");

  struct Case {
    std::string content;
    PidFile expected;
    const char* text;
  } cases[] = {
      {"4711\n", PidFile::valid, "4711"},
      {"4711", PidFile::valid, "4711"},  // no newline
      {"  815 extra words\n", PidFile::valid, "815"},
      {"123456\n", PidFile::valid, "123456"},
      {"1234567\n", PidFile::invalid, "123456"},  // too long for the kill command
      {"", PidFile::invalid, ""},
      {"\n", PidFile::invalid, ""},
      {"-1\n", PidFile::invalid, "-1"},
      {"12;rm\n", PidFile::invalid, "12;rm"},
      {std::string("\x7f\x01\xff\0\x12", 5), PidFile::invalid, nullptr},
  };
  for (const Case& c : cases) {
    root.write(oruvel::paths::kLumoPid, c.content);
    EXPECT_EQ(oruvel::ripper::readPidFile(pid), c.expected) << c.content;
    if (c.text) {
      EXPECT_STREQ(pid, c.text) << c.content;
    }
    EXPECT_LE(std::string(pid).size(), 6u);
  }
}

TEST_F(RipperFilesTest, OnlyALiveLumoripperIsAKillTarget) {
  // A process of our own that is not a ripper.
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    execl("/bin/sleep", "sleep", "30", static_cast<char*>(nullptr));
    _exit(127);
  }
  std::string childPid = std::to_string(child);
  usleep(100 * 1000);
  EXPECT_FALSE(oruvel::ripper::isRunningRipper(childPid.c_str()));
  EXPECT_FALSE(oruvel::ripper::isRunningRipper(std::to_string(getpid()).c_str()));
  for (const char* bad : {"", "-1", "0", "1", "0042", "1234567", "12a", "1 2"})
    EXPECT_FALSE(oruvel::ripper::isRunningRipper(bad)) << bad;
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  // A PID that is gone.
  EXPECT_FALSE(oruvel::ripper::isRunningRipper(childPid.c_str()));
  EXPECT_EQ(oruvel::ripper::killCommand("815"), "kill 815");
}

TEST_F(RipperFilesTest, ProgressLine) {
  char line[256] = "previous\n";
  EXPECT_FALSE(oruvel::ripper::readProgressLine(line));
  EXPECT_STREQ(line, "previous\n");

  // An empty file means recording, but nothing new to show.
  root.write(oruvel::paths::kLumoRip, "");
  EXPECT_TRUE(oruvel::ripper::readProgressLine(line));
  EXPECT_STREQ(line, "previous\n");

  root.write(oruvel::paths::kLumoRip, "track 2: 1234 kB\nsecond line\n");
  EXPECT_TRUE(oruvel::ripper::readProgressLine(line));
  EXPECT_STREQ(line, "track 2: 1234 kB\n");

  root.write(oruvel::paths::kLumoRip, "no newline");
  EXPECT_TRUE(oruvel::ripper::readProgressLine(line));
  EXPECT_STREQ(line, "no newline");

  // A long line is cut to 255 characters, the buffer always terminated.
  root.write(oruvel::paths::kLumoRip, std::string(400, 'x') + "\n");
  EXPECT_TRUE(oruvel::ripper::readProgressLine(line));
  EXPECT_EQ(std::string(line), std::string(255, 'x'));
}

}  // namespace
