// The ripper on a stream that breaks: dropped, reset, stalled, redirected
// in a loop, and the ripper itself killed with SIGKILL mid-track. It keeps
// every byte it got, cleans up its files when it ends, and the next run of
// the plug-in shows a ripper that is not running and clears what a killed
// one left. Saving favourites meanwhile leaves a file that reads back whole.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "tests/faults/fault_world.h"

namespace {

using namespace faulttest;
using namespace directorytest;

// Starts recording the local station; the ripper is kept at the end.
const std::string kStartRipping = tuneInLocalStation() + "key red\ndump\nanswer 2\n";

bool ripperFilesGone(const Session& s) {
  return !s.root.exists("/tmp/lumopid") && !s.root.exists("/tmp/lumorip");
}

// A second run: after a status tick the window shows no running ripper.
void expectNotRunningShown(const Session& s) {
  RunResult r = run(s, "wait 3000\ndump\n");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(boxesIn(r).empty()) << r.out;
  auto d = mainDumps(r.out);
  ASSERT_EQ(d.size(), 1u) << r.out;
  EXPECT_NE(lineOf(d[0], "text=\"Rip\""), "") << r.out;
  EXPECT_NE(ripStatus(d[0]).find("lumoripper is not running."), std::string::npos) << r.out;
}

TEST(RipperFaults, DroppedResetOrStalledStreamKeepsEveryByteAndEndsCleanly) {
  struct Case {
    std::vector<std::string> options;
    const char* exitLine;  // how the ripper reports the end
  };
  // Plain audio (no metadata), sent as fast as it goes: every body byte
  // the stand-in sends is audio the recording must hold.
  const Case cases[] = {
      {{"--drop-stream-after", "30000"}, "exit 0"},
      {{"--drop-stream-after", "30000", "--drop-reset"}, "exit 1"},
      {{"--stall-stream-after", "30000"}, "exit 1"},
  };
  for (const Case& c : cases) {
    std::string what = c.options[0] + (c.options.size() > 2 ? " " + c.options[2] : "");
    std::vector<std::string> options = {"--metaint", "0", "--speed", "0"};
    options.insert(options.end(), c.options.begin(), c.options.end());
    Session s({"Rock", "Metal", "Jazz"}, options);
    writeLocalStation(s);
    std::string log = useQuickRipper(s, "--stall 2 --retries 0 --connect-timeout 5");
    RunResult r = run(s, kStartRipping);
    ASSERT_EQ(r.exitCode, 0) << what << "\n" << r.err;
    auto d = mainDumps(r.out);
    ASSERT_EQ(d.size(), 1u) << r.out;
    EXPECT_EQ(ripStatus(d[0]), "lumoripper will be started.") << what;

    ASSERT_TRUE(waitFor([&] { return testsupport::readFile(log).find("exit ") != std::string::npos; }, 30))
        << what << "\n" << testsupport::readFile(log);
    std::string ended = testsupport::readFile(log);
    EXPECT_NE(ended.find(c.exitLine), std::string::npos) << what << "\n" << ended;
    EXPECT_TRUE(ripperFilesGone(s)) << what;
    auto files = recordings(s.paths.ripdir);
    ASSERT_EQ(files.size(), 1u) << what << "\n" << ended;
    EXPECT_EQ(files[0].size, 30000u) << what << " " << files[0].path;
    expectNotRunningShown(s);
  }
}

TEST(RipperFaults, StreamThatRedirectsToItselfRecordsNothingAndSaysSo) {
  Session s({"Rock", "Metal", "Jazz"}, {"--redirect-loop"});
  writeLocalStation(s);
  std::string log = useQuickRipper(s, "--retries 0 --connect-timeout 5");
  RunResult r = run(s, kStartRipping);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  ASSERT_TRUE(waitFor([&] { return testsupport::readFile(log).find("exit ") != std::string::npos; }, 30))
      << testsupport::readFile(log);
  std::string ended = testsupport::readFile(log);
  EXPECT_NE(ended.find("lumoripper: cannot record"), std::string::npos) << ended;
  EXPECT_NE(ended.find("exit 1"), std::string::npos) << ended;
  EXPECT_TRUE(ripperFilesGone(s));
  EXPECT_EQ(recordedBytes(s.paths.ripdir), 0u);
  expectNotRunningShown(s);
}

TEST(RipperFaults, KilledMidTrackLeavesAPlayablePartFileAndTheNextRunCleansUp) {
  Session s({"Rock", "Metal", "Jazz"}, {"--metaint", "4096", "--title-seconds", "60"});
  writeLocalStation(s);
  // Start recording, and save the station twice while the ripper runs.
  RunResult first = run(s, tuneInLocalStation() + "key red\nkey yellow\nanswer 4\nkey yellow\nanswer 4\n"
                          "answer 2\n");
  ASSERT_EQ(first.exitCode, 0) << first.err;
  ASSERT_TRUE(waitFor([&] { return recordedBytes(s.paths.ripdir) >= 40000; }, 30))
      << first.out << "\nrecorded: " << recordedBytes(s.paths.ripdir);
  pid_t pid = pidInFile(s.root);
  ASSERT_TRUE(ourRipper(pid, s.root)) << pid;
  // The runs' pidof sees this ripper under its own root and no other root's.
  const std::string pidof = s.root.path() + "/guard/pidof";
  EXPECT_EQ(testsupport::runProgram({pidof, "lumoripper"}, "", 10, {"ORUVEL_ROOT=" + s.root.path()}).out,
            std::to_string(pid) + "\n");
  EXPECT_EQ(testsupport::runProgram({pidof, "lumoripper"}, "", 10, {"ORUVEL_ROOT=/elsewhere"}).out, "\n");
  ASSERT_EQ(kill(pid, SIGKILL), 0);
  ASSERT_TRUE(waitFor([&] { return !ourRipper(pid, s.root); }, 10));

  // The part recorded so far is there, under its partial name, and decodes.
  auto files = recordings(s.paths.ripdir);
  ASSERT_EQ(files.size(), 1u);
  EXPECT_NE(files[0].path.find("(partial)"), std::string::npos) << files[0].path;
  EXPECT_GE(files[0].size, 40000u);
  std::string part = s.paths.ripdir + "/" + files[0].path;
  std::string bytes = testsupport::readFile(part);
  ASSERT_GE(bytes.size(), 2u);
  EXPECT_EQ(static_cast<unsigned char>(bytes[0]), 0xFF);  // an MP3 frame starts the file
  EXPECT_EQ(static_cast<unsigned char>(bytes[1]) & 0xE0, 0xE0);
  if (access("/usr/bin/mpg123", X_OK) == 0) {
    RunResult decoded = testsupport::runProgram({"/usr/bin/mpg123", "-q", "-t", part}, "", 60);
    EXPECT_EQ(decoded.exitCode, 0) << decoded.err;
  }
  // What the killed ripper could not remove.
  EXPECT_TRUE(s.root.exists("/tmp/lumopid"));

  // The next run's probe finds no ripper: no question, the PID file goes,
  // and the recording stays as it was.
  RunResult next = run(s, chooseGenre(1, 5) + "dump\n");
  ASSERT_EQ(next.exitCode, 0) << next.err;
  EXPECT_TRUE(next.linesWith("lumoripper is running").empty()) << next.out;
  EXPECT_FALSE(s.root.exists("/tmp/lumopid"));
  EXPECT_EQ(recordings(s.paths.ripdir)[0].size, files[0].size);
  // The two saves made while recording read back whole.
  auto d = mainDumps(next.out);
  ASSERT_EQ(d.size(), 1u);
  EXPECT_EQ(stationEntries(d[0]), (Lines{"key=0 \"[leave listbox]\"", "key=1 \"Fault Test Station\"",
                                  "key=2 \"Fault Test Station\""}));
}

}  // namespace
