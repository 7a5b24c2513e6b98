// The ripper's files: the probe's reading of the pidof output, and the
// checks that stand between /tmp/lumopid and a kill.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "base/fixed_paths.h"
#include "base/fs_root.h"
#include "ripper/ripper_files.h"
#include "tests/support/temp_root.h"

namespace {

namespace rip = oruvel::ripper;
using oruvel::paths::kLumoPid;

TEST(RipperFiles, ProbeReadsThePidofOutput) {
  testsupport::TempRoot root;
  oruvel::setFsRoot(root.path());
  // A pidof first on PATH that prints what the case says, so no real
  // process is looked at.
  const std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
  setenv("PATH", (root.at("/fakebin") + ":" + oldPath).c_str(), 1);
  const struct {
    const char* printed;
    rip::Probe expected;
  } cases[] = {{"", rip::Probe::none}, {"\\n", rip::Probe::none}, {"4711\\n", rip::Probe::running},
               {"12 345\\n", rip::Probe::running}};
  for (const auto& c : cases) {
    root.write("/fakebin/pidof", std::string("#!/bin/sh\nprintf '") + c.printed + "'\n");
    chmod(root.at("/fakebin/pidof").c_str(), 0755);
    root.write(kLumoPid, "4711\n");
    root.write(oruvel::paths::kLumoRip, "track 1: 345 kB\n");
    EXPECT_EQ(rip::probe(), c.expected) << c.printed;
    // Only a probe that finds no ripper removes the ripper's files.
    EXPECT_EQ(root.exists(kLumoPid), c.expected == rip::Probe::running) << c.printed;
    EXPECT_EQ(root.exists(oruvel::paths::kLumoRip), c.expected == rip::Probe::running) << c.printed;
    EXPECT_TRUE(root.exists(oruvel::paths::kLumoPidProbe));
  }
  setenv("PATH", oldPath.c_str(), 1);
}

TEST(RipperFiles, PidFileAndMissingProgressFile) {
  testsupport::TempRoot root;
  oruvel::setFsRoot(root.path());
  char pid[7];
  EXPECT_EQ(rip::readPidFile(pid), rip::PidFile::missing);
  EXPECT_STREQ(pid, "");
  const struct {
    std::string content;
    rip::PidFile expected;
    const char* text;
  } pids[] = {
      {"4711\n", rip::PidFile::valid, "4711"},
      {"4711", rip::PidFile::valid, "4711"},
      {"  815 extra words\n", rip::PidFile::valid, "815"},
      {"123456\n", rip::PidFile::valid, "123456"},
      {"1234567\n", rip::PidFile::invalid, "123456"},  // too long for the kill command
      {"", rip::PidFile::invalid, ""},
      {"\n", rip::PidFile::invalid, ""},
      {"-1\n", rip::PidFile::invalid, "-1"},
      {"12;rm\n", rip::PidFile::invalid, "12;rm"},
      {std::string("\x7f\x01\xff\0\x12", 5), rip::PidFile::invalid, nullptr},
  };
  for (const auto& c : pids) {
    root.write(kLumoPid, c.content);
    EXPECT_EQ(rip::readPidFile(pid), c.expected) << c.content;
    if (c.text) {
      EXPECT_STREQ(pid, c.text) << c.content;
    }
    EXPECT_LE(std::string(pid).size(), 6u);
  }

  char line[256] = "previous\n";
  EXPECT_FALSE(rip::readProgressLine(line)) << "no file: not recording";
  EXPECT_STREQ(line, "previous\n");
  std::string binary;
  for (int c = 0; c < 256; ++c) binary += static_cast<char>(c);
  const struct {
    std::string file, line;  // the progress file; the line the tick shows
  } progress[] = {
      {"track 1: 345 kB\nmore\n", "track 1: 345 kB\n"},
      {"no newline", "no newline"},
      {"", ""},  // recording, but nothing to show yet
      {std::string(10000, 'A'), std::string(255, 'A')},
      {binary, ""},  // starts with a NUL
      {std::string(300, 'B') + "\n" + std::string(300, 'C') + "\n", std::string(255, 'B')},
  };
  for (const auto& c : progress) {
    root.write(oruvel::paths::kLumoRip, c.file);
    line[0] = '\0';
    EXPECT_TRUE(rip::readProgressLine(line)) << c.file.substr(0, 20);
    EXPECT_EQ(line, c.line) << c.file.substr(0, 20);
  }
}

TEST(RipperFiles, APressWaitsForTheRipperToAnnounceItselfOrToEnd) {
  testsupport::TempRoot root;
  oruvel::setFsRoot(root.path());
  const long self = getpid();  // a live process that never announces itself
  std::int64_t now = 0;
  std::function<void()> onLook;
  // Every look at the host's clock moves it on 100 ms.
  auto clock = [&] {
    if (onLook) onLook();
    return now += 100;
  };
  const pid_t gone = fork();
  ASSERT_GE(gone, 0);
  if (gone == 0) _exit(0);
  waitpid(gone, nullptr, 0);
  const struct {
    long started;
    int announcesAtLook;  // 0: never
    bool announced;
    std::int64_t lastLook;
  } cases[] = {
      {self, 1, true, 100},        // there before the wait
      {self, 4, true, 400},        // announced while waiting
      {self, 0, false, 2100},      // never: the press returns after 2 s of the host's clock
      {gone, 0, false, 100},       // the started process has ended: no use waiting
  };
  for (const auto& c : cases) {
    std::remove(root.at(kLumoPid).c_str());
    now = 0;
    int looks = 0;
    onLook = [&] {
      if (++looks == c.announcesAtLook) root.write(kLumoPid, "4711\n");
    };
    EXPECT_EQ(rip::awaitAnnouncement(c.started, clock), c.announced) << c.started << " " << c.announcesAtLook;
    EXPECT_EQ(now, c.lastLook) << c.started << " " << c.announcesAtLook;
  }
  // A stop waits for the ripper to end, as long as the start waits for it to begin.
  onLook = nullptr;
  now = 0;
  EXPECT_TRUE(rip::awaitEnd(std::to_string(gone).c_str(), clock));
  EXPECT_EQ(now, 100);
  now = 0;
  EXPECT_FALSE(rip::awaitEnd(std::to_string(self).c_str(), clock));
  EXPECT_EQ(now, 2100);
}

TEST(RipperFiles, OnlyALiveLumoripperIsAKillTarget) {
  // A process of our own that is not a ripper.
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    execl("/bin/sleep", "sleep", "30", static_cast<char*>(nullptr));
    _exit(127);
  }
  const std::string childPid = std::to_string(child);
  EXPECT_FALSE(rip::isRunningRipper(childPid.c_str()));
  EXPECT_FALSE(rip::isRunningRipper(std::to_string(getpid()).c_str()));
  for (const char* bad : {"", "-1", "0", "1", "0042", "1234567", "12a", "1 2"})
    EXPECT_FALSE(rip::isRunningRipper(bad)) << bad;
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  EXPECT_FALSE(rip::isRunningRipper(childPid.c_str())) << "a PID that is gone";
  EXPECT_EQ(rip::killCommand("815"), "kill 815");
}

}  // namespace
