// lumoripper run against the test radio server, judged by what it leaves
// on disk: the recorded files, /tmp/lumorip, /tmp/lumopid, its exit status
// and what it says on standard error.
#include <signal.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "tests/lumoripper/ripper_harness.h"
#include "tests/support/temp_root.h"

using rippertest::filesIn;
using rippertest::hasShape;
using rippertest::RadioServer;
using rippertest::RipperProcess;
using rippertest::runRipper;
using rippertest::waitFor;
using testsupport::readFile;
using testsupport::TempRoot;

namespace {

// Quick retries so a stream's end is noticed fast.
const std::vector<std::string> kQuick = {"--retries", "2", "--retry-delay", "0.1"};

std::vector<std::string> args(const std::string& url, const std::string& dir,
                              std::vector<std::string> extra = kQuick) {
  std::vector<std::string> a{url, "-d", dir};
  a.insert(a.end(), extra.begin(), extra.end());
  return a;
}

void expectNoRunFiles(const TempRoot& root) {
  EXPECT_FALSE(root.exists("/tmp/lumorip"));
  EXPECT_FALSE(root.exists("/tmp/lumopid"));
  // Nor a temporary file of the atomic replace.
  EXPECT_EQ(filesIn(root.path() + "/tmp"), std::vector<std::string>{});
}

TEST(Lumoripper, SplitsTracksByTitleAndKeepsEveryAudioByte) {
  TempRoot root;
  RadioServer server(root.path() + "/server");
  server.plan("s", R"({"metaint": 1000, "headers": {"icy-name": "Test FM/Rock"},
                       "segments": [["A", 3000], ["B", 4000], ["C", 2000]]})");
  std::string dir = root.path() + "/music";
  std::string station = dir + "/Test FM-Rock";
  // An earlier recording of B must survive.
  testsupport::writeFile(station + "/B.mp3", "old");

  auto run = runRipper(root, args(server.url("s"), dir));
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("the stream ended"), std::string::npos) << run.err;

  // The first track started mid-song and the last one was cut by the end.
  EXPECT_EQ(filesIn(station),
            (std::vector<std::string>{"A (partial).mp3", "B (2).mp3", "B.mp3", "C (partial).mp3"}));
  std::string sent = server.sent("s");
  ASSERT_EQ(sent.size(), 9000u);
  EXPECT_EQ(readFile(station + "/A (partial).mp3"), sent.substr(0, 3000));
  EXPECT_EQ(readFile(station + "/B (2).mp3"), sent.substr(3000, 4000));
  EXPECT_EQ(readFile(station + "/C (partial).mp3"), sent.substr(7000));
  EXPECT_EQ(readFile(station + "/B.mp3"), "old");
  expectNoRunFiles(root);
}

TEST(Lumoripper, OldStyleIcyAnswerWithAwkwardTitles) {
  TempRoot root;
  RadioServer server(root.path() + "/server");
  server.plan("i", R"({"status_line": "ICY 200 OK", "content_type": "audio/aacp", "metaint": 500,
                       "headers": {"icy-name": "..Hidden\u0007 Radio"},
                       "segments": [["Rock 'n' Roll; Part 2", 1000], ["../../etc/passwd", 1000],
                                    ["Tab\there", 500]]})");
  std::string dir = root.path() + "/music";
  auto run = runRipper(root, args(server.url("i"), dir, {"--retries", "0"}));
  EXPECT_EQ(run.status, 0) << run.err;

  // Nothing escapes the station folder, nothing is hidden.
  EXPECT_EQ(filesIn(dir), std::vector<std::string>{});
  std::string station = dir + "/Hidden Radio";
  std::string sent = server.sent("i");
  EXPECT_EQ(filesIn(station), (std::vector<std::string>{"-..-etc-passwd.aac", "Rock 'n' Roll; Part 2 (partial).aac",
                                                        "Tab here (partial).aac"}));
  EXPECT_EQ(readFile(station + "/Rock 'n' Roll; Part 2 (partial).aac") +
                readFile(station + "/-..-etc-passwd.aac") + readFile(station + "/Tab here (partial).aac"),
            sent);
  EXPECT_EQ(sent.size(), 2500u);
}

TEST(Lumoripper, RedirectsToAStreamWithoutMetadataMakeOneFileByHostAndTime) {
  TempRoot root;
  RadioServer server(root.path() + "/server");
  server.plan("plain", R"({"content_type": "application/ogg", "segments": [["x", 20000]]})");
  server.plan("hop1", R"({"redirect": "/hop2"})");
  server.plan("hop2", R"({"redirect": ")" + server.url("plain") + R"("})");
  server.plan("loop", R"({"redirect": "/loop"})");
  std::string dir = root.path() + "/new/deeper/music";  // created on the way
  auto run = runRipper(root, args(server.url("hop1"), dir));
  EXPECT_EQ(run.status, 0) << run.err;
  auto files = filesIn(dir + "/127.0.0.1");
  ASSERT_EQ(files.size(), 1u);
  EXPECT_TRUE(hasShape(files[0], "127.0.0.1 ####-##-## ##-##-##.ogg")) << files[0];
  EXPECT_EQ(readFile(dir + "/127.0.0.1/" + files[0]), server.sent("plain"));

  auto loop = runRipper(root, args(server.url("loop"), dir));
  EXPECT_EQ(loop.status, 1);
  EXPECT_NE(loop.err.find("redirect"), std::string::npos) << loop.err;
  expectNoRunFiles(root);
}

TEST(Lumoripper, ErrorsSayWhyAndLeaveNothingBehind) {
  TempRoot root;
  RadioServer server(root.path() + "/server");
  std::string dir = root.path() + "/music";
  server.plan("gone", R"({"status_line": "HTTP/1.0 404 Not Found"})");
  server.plan("oldgone", R"({"status_line": "ICY 404 Resource Not Found"})");

  auto notFound = runRipper(root, args(server.url("gone"), dir));
  EXPECT_EQ(notFound.status, 1);
  EXPECT_NE(notFound.err.find("404"), std::string::npos) << notFound.err;
  expectNoRunFiles(root);

  auto oldNotFound = runRipper(root, args(server.url("oldgone"), dir));
  EXPECT_EQ(oldNotFound.status, 1);
  EXPECT_NE(oldNotFound.err.find("ICY 404"), std::string::npos) << oldNotFound.err;

  auto missing = runRipper(root, args(server.url("nosuchplan"), dir));
  EXPECT_EQ(missing.status, 1);

  // Nothing listens on the server's port once it is gone; port 1 is never ours.
  auto refused = runRipper(root, args("http://127.0.0.1:1/x", dir));
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("cannot record"), std::string::npos) << refused.err;

  testsupport::writeFile(root.path() + "/afile", "x");
  auto badDir = runRipper(root, args(server.url("gone"), root.path() + "/afile/music"));
  EXPECT_EQ(badDir.status, 1);
  EXPECT_NE(badDir.err.find("cannot create the folder"), std::string::npos) << badDir.err;

  for (const auto& bad : std::vector<std::vector<std::string>>{
           {}, {server.url("gone")}, {"-d", dir}, {"ftp://host/x", "-d", dir}, {"not a url", "-d", dir},
           {server.url("gone"), "-d", dir, "--retries", "many"}, {server.url("gone"), "-d", dir, "--bogus"},
           {server.url("gone"), "-d"}}) {
    auto r = runRipper(root, bad);
    EXPECT_EQ(r.status, 2) << r.err;
    EXPECT_NE(r.err.find("--help"), std::string::npos) << r.err;
  }
  auto help = runRipper(root, {"--help"});
  EXPECT_EQ(help.status, 0);
  expectNoRunFiles(root);
  EXPECT_FALSE(std::filesystem::exists(dir + "/127.0.0.1"));
}

TEST(Lumoripper, AFullDiskIsAnErrorThatKeepsWhatWasWritten) {
  TempRoot root;
  RadioServer server(root.path() + "/server");
  server.plan("s", R"({"metaint": 1000, "rate": 50000, "forever": true, "segments": [["Big", 1000]]})");
  std::string dir = root.path() + "/music";
  RipperProcess ripper(root, args(server.url("s"), dir), 20000);
  EXPECT_EQ(ripper.wait(20), 1);
  std::string err = ripper.err();
  EXPECT_NE(err.find("cannot write"), std::string::npos) << err;
  EXPECT_NE(err.find("Big (partial).mp3"), std::string::npos) << err;
  std::string kept = readFile(dir + "/127.0.0.1/Big (partial).mp3");
  EXPECT_EQ(kept.size(), 20000u);
  EXPECT_EQ(kept, server.sent("s").substr(0, kept.size()));
  expectNoRunFiles(root);
}

TEST(Lumoripper, ReconnectsAfterDropsAndShowsItInTheProgressLine) {
  TempRoot root;
  RadioServer server(root.path() + "/server");
  // Two drops and a stall; every connection starts again where the last ended.
  server.plan("d", R"({"metaint": 1000, "rate": 20000, "segments": [["A", 3000], ["B", 5000]],
                       "drops": [1500, 4500], "stalls": [6000]})");
  std::string dir = root.path() + "/music";
  RipperProcess ripper(root, args(server.url("d"), dir, {"--retries", "3", "--retry-delay", "0.6", "--stall", "1"}));

  // Watch the progress line the way the plug-in reads it.
  std::set<std::string> lines;
  bool sawFile = false;
  int status = -2;
  waitFor([&] {
    if (root.exists("/tmp/lumorip")) {
      sawFile = true;
      std::string l = root.read("/tmp/lumorip");
      if (!l.empty()) lines.insert(l);
    }
    return (status = ripper.poll()) != -2;
  }, 40);
  ASSERT_EQ(status, 0) << ripper.err();
  EXPECT_TRUE(sawFile) << ripper.err();
  bool sawReconnect = false;
  auto wellFormed = [](const std::string& l) {
    for (std::string prefix : {"", "reconnecting (#/3) "})
      for (std::string title : {"A", "B", "127.0.0.1"})
        if (hasShape(l, prefix + "##:## +KB " + title) || hasShape(l, prefix + "##:## +.#MB " + title)) return true;
    return false;
  };
  for (const auto& l : lines) {
    EXPECT_TRUE(wellFormed(l)) << "[" << l << "]";
    if (l.rfind("reconnecting (1/3)", 0) == 0) sawReconnect = true;
  }
  EXPECT_TRUE(sawReconnect) << ripper.err();
  std::string err = ripper.err();
  EXPECT_NE(err.find("stalled"), std::string::npos) << err;

  // Nothing lost: the files together are what was sent, in order. The
  // server's metadata is per connection, so B starts where the reconnected
  // connection first named it.
  std::string station = dir + "/127.0.0.1";
  auto files = filesIn(station);
  EXPECT_EQ(files, (std::vector<std::string>{"A (partial).mp3", "B (partial).mp3"}));
  std::string sent = server.sent("d");
  EXPECT_EQ(sent.size(), 8000u) << err;
  EXPECT_EQ(readFile(station + "/A (partial).mp3") + readFile(station + "/B (partial).mp3"), sent);
  expectNoRunFiles(root);
}

TEST(Lumoripper, SigtermKeepsThePartialTrackAndCleansUp) {
  for (int sig : {SIGTERM, SIGINT}) {
    SCOPED_TRACE(sig);
    TempRoot root;
    RadioServer server(root.path() + "/server");
    server.plan("live", R"({"metaint": 2000, "rate": 40000, "forever": true,
                            "headers": {"icy-name": "Live"}, "segments": [["One", 6000], ["Two", 4000]]})");
    std::string dir = root.path() + "/music";
    RipperProcess ripper(root, args(server.url("live"), dir));
    std::string station = dir + "/Live";
    ASSERT_TRUE(waitFor([&] { return rippertest::filesIn(station).size() == 2; }, 10)) << ripper.err();
    ASSERT_TRUE(waitFor([&] { return root.read("/tmp/lumorip").find("Two") != std::string::npos; }, 5));
    ASSERT_TRUE(waitFor([&] { return !readFile(station + "/Two (partial).mp3").empty(); }, 5));

    // The PID file's first word is the ripper's process ID.
    std::string pid = root.read("/tmp/lumopid");
    EXPECT_EQ(pid.substr(0, pid.find_first_of(" \n")), std::to_string(ripper.pid()));
    EXPECT_TRUE(hasShape(root.read("/tmp/lumorip"), "##:## +KB Two"))
        << root.read("/tmp/lumorip");

    ripper.signal(sig);
    EXPECT_EQ(ripper.wait(5), 0) << ripper.err();
    EXPECT_EQ(filesIn(station), (std::vector<std::string>{"One (partial).mp3", "Two (partial).mp3"}));
    std::string one = readFile(station + "/One (partial).mp3");
    std::string two = readFile(station + "/Two (partial).mp3");
    std::string sent = server.sent("live");
    EXPECT_EQ(one, sent.substr(0, 6000));
    EXPECT_GT(two.size(), 0u);
    // What was in flight when it stopped may be missing, nothing else.
    EXPECT_EQ(two, sent.substr(6000, two.size()));
    expectNoRunFiles(root);
  }
}

}  // namespace
