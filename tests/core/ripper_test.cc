// The ripper's files: the probe's reading of the pidof output, and the
// checks that stand between /tmp/lumopid and a kill.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "base/fixed_paths.h"
#include "base/fs_root.h"
#include "ripper/ripper_control.h"
#include "ripper/ripper_files.h"
#include "tests/support/sleeping_ripper.h"
#include "tests/support/temp_root.h"

namespace {

namespace rip = oruvel::ripper;
using oruvel::paths::kLumoPid;
using oruvel::paths::kLumoRip;

TEST(RipperFiles, ProbePidFileProgressFileAndTheWaitsOfAPress) {
  testsupport::TempRoot root;
  oruvel::setFsRoot(root.path());
  // A pidof first on PATH that prints what the case says: no real process is looked at.
  const std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
  setenv("PATH", (root.at("/fakebin") + ":" + oldPath).c_str(), 1);
  for (const char* printed : {"", "\\n", "4711\\n", "12 345\\n"}) {
    const bool running = std::isdigit(static_cast<unsigned char>(printed[0]));
    root.write("/fakebin/pidof", std::string("#!/bin/sh\nprintf '") + printed + "'\n");
    chmod(root.at("/fakebin/pidof").c_str(), 0755);
    root.write(kLumoPid, "4711\n");
    root.write(kLumoRip, "track 1: 345 kB\n");
    EXPECT_EQ(rip::probe(), running ? rip::Probe::running : rip::Probe::none) << printed;
    // Only a probe that finds no ripper removes the ripper's files; its own stays.
    EXPECT_EQ(std::vector<bool>({root.exists(kLumoPid), root.exists(kLumoRip), root.exists(oruvel::paths::kLumoPidProbe)}),
              std::vector<bool>({running, running, true})) << printed;
  }
  setenv("PATH", oldPath.c_str(), 1);

  for (const char* f : {kLumoPid, kLumoRip}) std::remove(root.at(f).c_str());  // as the probe left them
  const long filesBefore = testsupport::openDescriptors();
  char pid[7];
  const auto read = [&] {  // the state ("missing", "valid", "invalid") and the text read
    const rip::PidFile state = rip::readPidFile(pid);
    return std::string(state == rip::PidFile::valid ? "valid " : state == rip::PidFile::missing ? "missing " : "invalid ") + pid;
  };
  EXPECT_EQ(read(), "missing ");
  const std::pair<std::string, std::string> pids[] = {
      {"4711\n", "valid 4711"},     {"4711", "valid 4711"},  {"  815 extra words\n", "valid 815"},
      {"123456\n", "valid 123456"}, {"1234567\n", "invalid 123456"},  // too long for the kill command
      {"", "invalid "},             {"-1\n", "invalid -1"}, {"12;rm\n", "invalid 12;rm"}};
  for (const auto& [content, seen] : pids) {
    root.write(kLumoPid, content);
    EXPECT_EQ(read(), seen) << content;
  }

  char line[256] = "previous\n";
  EXPECT_FALSE(rip::readProgressLine(line)) << "no file: not recording";
  EXPECT_STREQ(line, "previous\n");
  // The progress file, and the line the tick shows ("": recording, nothing to show yet).
  const std::pair<std::string, std::string> progress[] = {
      {"track 1: 345 kB\nmore\n", "track 1: 345 kB\n"}, {"no newline", "no newline"}, {"", ""},
      {std::string(10000, 'A'), std::string(255, 'A')}, {std::string("\0x\n", 3), ""}};
  for (const auto& [file, shown] : progress) {
    root.write(kLumoRip, file);
    line[0] = '\0';
    EXPECT_TRUE(rip::readProgressLine(line)) << file.substr(0, 20);
    EXPECT_EQ(line, shown) << file.substr(0, 20);
  }
  EXPECT_EQ(testsupport::openDescriptors(), filesBefore) << "a read leaves no file open";

  // A press waits for the ripper to announce itself or to end.
  const long self = getpid();  // a live process that never announces itself
  const pid_t gone = fork();
  ASSERT_GE(gone, 0);
  if (gone == 0) _exit(0);
  waitpid(gone, nullptr, 0);
  // Every look at the host's clock moves it on 100 ms; the ripper announces
  // itself at the given look (0: never). A stop waits for the end as long as
  // a start waits for the announcement: 2 s of the host's clock.
  std::int64_t now = 0;
  int looks = 0, announcesAt = 0;
  auto clock = [&] {
    if (++looks == announcesAt) root.write(kLumoPid, "4711\n");
    return now += 100;
  };
  // start: awaitAnnouncement, else awaitEnd; a process that has ended is not waited for.
  const struct { bool start; long pid; int announcesAt; bool done; std::int64_t lastLook; } cases[] = {
      {true, self, 1, true, 100},  {true, self, 4, true, 400}, {true, self, 0, false, 2100},
      {true, gone, 0, false, 100}, {false, gone, 0, true, 100}, {false, self, 0, false, 2100}};
  for (const auto& c : cases) {
    std::remove(root.at(kLumoPid).c_str());
    now = looks = 0;
    announcesAt = c.announcesAt;
    const std::string pid = std::to_string(c.pid);
    EXPECT_EQ(c.start ? rip::awaitAnnouncement(c.pid, clock) : rip::awaitEnd(pid.c_str(), clock), c.done) << pid;
    EXPECT_EQ(now, c.lastLook) << c.start << " " << pid << " " << c.announcesAt;
  }
}

TEST(RipperFiles, OnlyALiveLumoripperIsAKillTarget) {
  const pid_t child = fork();  // a process of our own that is not a ripper
  ASSERT_GE(child, 0);
  if (child == 0) {
    execl("/bin/sleep", "sleep", "30", static_cast<char*>(nullptr));
    _exit(127);
  }
  const std::string childPid = std::to_string(child);
  for (const std::string& bad : {childPid, std::to_string(getpid()), std::string(), std::string("-1"),
                                 std::string("0"), std::string("1"), std::string("0042"), std::string("1234567"),
                                 std::string("12a"), std::string("1 2")})
    EXPECT_FALSE(rip::isRunningRipper(bad.c_str())) << bad;
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  EXPECT_FALSE(rip::isRunningRipper(childPid.c_str())) << "a PID that is gone";
  EXPECT_EQ(rip::killCommand("815"), "kill 815");

  // Stopping every ripper waits, on the host's clock, for the one the PID
  // file names to end, when it is a ripper; here killall only notes its call.
  testsupport::TempRoot root;
  oruvel::setFsRoot(root.path());
  testsupport::SleepingRipper named(root);
  root.write("/fakebin/killall", "#!/bin/sh\necho \"$@\" >>\"$0.calls\"\n");
  chmod(root.at("/fakebin/killall").c_str(), 0755);
  const std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
  setenv("PATH", (root.at("/fakebin") + ":" + oldPath).c_str(), 1);
  for (const auto& [pid, waited] : {std::pair{static_cast<long>(named.pid()), 2100}, {static_cast<long>(getpid()), 0}}) {
    root.write(kLumoPid, std::to_string(pid) + "\n");
    std::int64_t now = 0;
    rip::Control().stopAll([&] { return now += 100; });
    EXPECT_EQ(now, waited) << pid;
  }
  setenv("PATH", oldPath.c_str(), 1);
  EXPECT_EQ(testsupport::readFile(root.at("/fakebin/killall.calls")), "lumoripper\nlumoripper\n");
}

}  // namespace
