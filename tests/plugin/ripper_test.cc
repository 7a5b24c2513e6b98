// The red key: the ripper started on the chosen station and stopped again,
// and the PID file that must never lead to killing the wrong process.
#include <algorithm>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "tests/plugin/plugin_world.h"

namespace {

using namespace plugintest;
using testsupport::TempRoot;

const std::string kNoneStopped =
    "text=\"no lumoripper stopped: /tmp/lumopid named none, removed it.\"";

// Waits up to `seconds` of real time for `done`.
template <class Done>
bool waitFor(Done done, int seconds) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return true;
}

bool lumoripperRuns(pid_t pid) {
  std::string stat = readProcFile(pid, "stat");
  return stat.find("(lumoripper) ") != std::string::npos &&
         stat.find("(lumoripper) Z") == std::string::npos;
}

std::uintmax_t recordedBytes(const std::string& dir) {
  std::uintmax_t total = 0;
  std::error_code ec;
  for (auto& entry : std::filesystem::recursive_directory_iterator(dir, ec))
    if (entry.is_regular_file()) total += entry.file_size();
  return total;
}

TEST(Ripper, HostilePidFilesKillNothing) {
  // A process of the test's own that is not a ripper.
  pid_t bystander = fork();
  ASSERT_GE(bystander, 0);
  if (bystander == 0) {
    execl("/bin/sleep", "sleep", "120", static_cast<char*>(nullptr));
    _exit(127);
  }
  const std::string contents[] = {
      "-1\n", "1\n", std::to_string(bystander) + "\n", std::string("\x01\xff\x00junk", 7),
      "999999",  // no newline, no such process
      "12345678\n", "$(touch PWNED)\n",
  };
  for (const std::string& content : contents) {
    TempRoot root;
    writeWorld(root);
    // A ripper runs and is kept at entry, so the PID file survives the
    // entry check and the red key meets it.
    StandInRipper ripper(root);
    root.write("/tmp/lumopid", content);
    auto run = testsupport::runHost(root, "answer 2\nkey red\ndump\nanswer 2\n");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    auto blocks = dumps(run);
    ASSERT_EQ(blocks.size(), 1u) << run.out;
    EXPECT_NE(lineWith(blocks[0], kNoneStopped), "") << content << "\n" << blocks[0];
    EXPECT_NE(lineWith(blocks[0], "text=\"Stop\" help=\"Press to start"), "");
    EXPECT_TRUE(run.linesWith("flags=0x20").empty()) << content;
    EXPECT_FALSE(root.exists("/tmp/lumopid")) << content;
    EXPECT_TRUE(ripper.alive()) << content;
    EXPECT_EQ(waitpid(bystander, nullptr, WNOHANG), 0) << "bystander killed by " << content;
    EXPECT_FALSE(std::filesystem::exists("PWNED"));
    EXPECT_FALSE(root.exists("/PWNED"));
  }
  kill(bystander, SIGKILL);
  waitpid(bystander, nullptr, 0);
}

TEST(Ripper, RedKeyRecordsTheChosenStationAndStopsIt) {
  TempRoot root;
  testsupport::StandIn directory;
  auto paths = writeWorld(root);
  testsupport::writeFile(paths.stations,
                         "<stationlist>\n<station name=\"Radio Kestrel Rock\"\nurl=\"http://" +
                             directory.address() +
                             "/sbin/tunein-station.pls?id=1001&amp;filename=playlist.pls\"/>\n");
  const std::vector<std::string> args = {"--directory", directory.address()};

  // Run 1: choose the local station file (key 2: two rows above the last
  // genre), the station, then the red key; keep the ripper at the end.
  auto start = testsupport::runHost(
      root, "key ok\nkey up\nkey up\nkey ok\nkey down\nkey ok\nkey red\ndump\nanswer 2\n", args);
  ASSERT_EQ(start.exitCode, 0) << start.err;
  auto blocks = dumps(start);
  ASSERT_EQ(blocks.size(), 1u) << start.out;
  EXPECT_NE(lineWith(blocks[0], "text=\"lumoripper will be started.\""), "") << blocks[0];
  EXPECT_NE(lineWith(blocks[0], "text=\"Stop\" help=\"Press to start"), "");

  // The ripper announces itself and records.
  ASSERT_TRUE(waitFor([&] { return root.exists("/tmp/lumopid") && root.exists("/tmp/lumorip"); },
                      20))
      << start.out << start.err;
  pid_t ripperPid = std::atoi(root.read("/tmp/lumopid").c_str());
  ASSERT_GT(ripperPid, 1);
  ASSERT_TRUE(lumoripperRuns(ripperPid));
  EXPECT_TRUE(waitFor([&] { return recordedBytes(paths.ripdir) > 0; }, 20));
  std::string progress = root.read("/tmp/lumorip");
  progress.erase(std::min(progress.size(), progress.find('\n')));

  // Run 2: the window opens on the running ripper, the tick shows its
  // progress, the red key stops it.
  auto stop = testsupport::runHost(
      root, "answer 2\ndump\nservice\nwait 3000\ndump\nservice\nkey red\ndump\nservice\n"
            "key red\ndump\nanswer 2\n",
      args);
  // Whatever happened, no ripper of this test outlives it.
  if (lumoripperRuns(ripperPid)) kill(ripperPid, SIGKILL);
  ASSERT_EQ(stop.exitCode, 0) << stop.err;
  blocks = dumps(stop);
  ASSERT_EQ(blocks.size(), 4u) << stop.out;
  EXPECT_NE(lineWith(blocks[0], "text=\"lumoripper is running. [PID: " +
                                    std::to_string(ripperPid) + "]\""),
            "")
      << blocks[0];
  EXPECT_NE(lineWith(blocks[1], "pos=(130,390) size=350x30 text=\"" + progress.substr(0, 10)),
            "")
      << blocks[1] << "progress: " << progress;
  EXPECT_NE(lineWith(blocks[1], "text=\"Stop\" help=\"Press to start"), "");
  EXPECT_EQ(stop.linesWith("flags=0x20 \"lumoripper will be stopped.").size(), 1u) << stop.out;
  EXPECT_NE(lineWith(blocks[2], "text=\"Stop\" help=\"Press to start"), "");
  EXPECT_NE(lineWith(blocks[3], "text=\"Rip\" help=\"Press to start"), "") << blocks[3];

  EXPECT_TRUE(waitFor([&] { return !lumoripperRuns(ripperPid); }, 10));
  EXPECT_TRUE(waitFor([&] { return !root.exists("/tmp/lumorip"); }, 10));
  EXPECT_GT(recordedBytes(paths.ripdir), 0u);
}

}  // namespace
