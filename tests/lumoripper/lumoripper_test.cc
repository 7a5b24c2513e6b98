// lumoripper run against the test radio server, judged by what it leaves
// on disk: the recorded files, /tmp/lumorip, /tmp/lumopid, its exit status
// and what it says on standard error.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <regex>
#include <set>

#include "tests/lumoripper/ripper_harness.h"
#include "tools/icy/stream_format.h"

using namespace rippertest;
using Files = std::map<std::string, std::string>;
using testsupport::TempRoot;

namespace {

// Quick retries so a stream's end is noticed fast.
std::vector<std::string> args(const std::string& url, const std::string& dir,
                              std::vector<std::string> extra = {"--retries", "2", "--retry-delay", "0.1"}) {
  extra.insert(extra.begin(), {url, "-d", dir});
  return extra;
}

void expectNoRunFiles(const TempRoot& root) {
  // Neither file, nor a temporary one of the atomic replace, is left.
  EXPECT_EQ(filesIn(root.path() + "/tmp"), Files{});
}

TEST(Lumoripper, SplitsTracksByTitleKeepsEveryByteAndNamesSafely) {
  const struct {
    const char* plan;
    std::string folder, earlier;                          // earlier: a file already there
    std::vector<std::pair<std::string, size_t>> tracks;  // in the order they were sent
  } cases[] = {
      {R"({"metaint": 1000, "headers": {"icy-name": "Test FM/Rock"},
           "segments": [["A", 3000], ["B", 4000], ["C", 2000]]})",
       "Test FM-Rock", "B.mp3", {{"A (partial).mp3", 3000}, {"B (2).mp3", 4000}, {"C (partial).mp3", 2000}}},
      // The old ICY answer; names that would escape the folder or hide.
      {R"({"status_line": "ICY 200 OK", "content_type": "audio/aacp", "metaint": 500,
           "headers": {"icy-name": "..Hidden\u0007 Radio"},
           "segments": [["Rock 'n' Roll; Part 2", 1000], ["../../etc/passwd", 1000], ["Tab\there", 500]]})",
       "Hidden Radio", "",
       {{"Rock 'n' Roll; Part 2 (partial).aac", 1000}, {"-..-etc-passwd.aac", 1000}, {"Tab here (partial).aac", 500}}},
      // Titles in Latin-1 become UTF-8 names; titles alike only once cleaned stay two tracks.
      {R"({"metaint": 1000, "title_charset": "latin-1", "headers": {"icy-name": "Caf\u00e9"},
           "segments": [["Caf\u00e9", 2000], ["Song?", 1000], ["Song*", 1000], ["End", 500]]})",
       "Caf\xc3\xa9", "",
       {{"Caf\xc3\xa9 (partial).mp3", 2000}, {"Song-.mp3", 1000}, {"Song- (2).mp3", 1000}, {"End (partial).mp3", 500}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.folder);
    TempRoot root;
    RadioServer server(root.path() + "/server");
    server.plan("s", c.plan);
    const std::string dir = root.path() + "/music";
    Files expected;
    if (!c.earlier.empty()) {
      testsupport::writeFile(dir + "/" + c.folder + "/" + c.earlier, "old");
      expected[c.earlier] = "old";
    }
    auto run = runRipper(root, args(server.url("s"), dir));
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.err.find("the stream ended"), std::string::npos) << run.err;
    const std::string sent = server.sent("s");
    size_t at = 0;
    for (const auto& [name, size] : c.tracks) {
      expected[name] = sent.substr(at, size);
      at += size;
    }
    EXPECT_EQ(at, sent.size());
    EXPECT_EQ(filesIn(dir + "/" + c.folder), expected);
    EXPECT_EQ(filesIn(dir), Files{});
    expectNoRunFiles(root);
  }
}

TEST(Lumoripper, RedirectsToAStreamWithoutMetadataMakeOneFileByHostAndTime) {
  TempRoot root;
  RadioServer server(root.path() + "/server");
  server.plan("plain", R"({"content_type": "application/ogg", "segments": [["x", 20000]]})");
  server.plan("hop1", R"({"redirect": "/hop2"})");
  server.plan("hop2", R"({"redirect": ")" + server.url("plain") + R"("})");
  const std::string dir = root.path() + "/new/deeper/music";  // created on the way
  auto run = runRipper(root, args(server.url("hop1"), dir));
  EXPECT_EQ(run.exitCode, 0) << run.err;
  const Files files = filesIn(dir + "/127.0.0.1");
  ASSERT_EQ(files.size(), 1u);
  EXPECT_TRUE(std::regex_match(files.begin()->first,
                               std::regex(R"(127\.0\.0\.1 \d{4}-\d\d-\d\d \d\d-\d\d-\d\d\.ogg)")))
      << files.begin()->first;
  EXPECT_EQ(files.begin()->second, server.sent("plain"));
}

TEST(Lumoripper, ErrorsSayWhyAndLeaveNothingBehind) {
  TempRoot root;
  RadioServer server(root.path() + "/server");
  server.plan("gone", R"({"status_line": "HTTP/1.0 404 Not Found"})");
  server.plan("oldgone", R"({"status_line": "ICY 404 Resource Not Found"})");
  for (const char* type : {"text/html; charset=utf-8", "application/json", "application/xml", "text/plain"})
    server.plan(std::string("doc") + std::to_string(std::strlen(type)),
                std::string(R"({"content_type": ")") + type + R"(", "segments": [["x", 5000]]})");
  const std::string dir = root.path() + "/music", gone = server.url("gone");
  testsupport::writeFile(root.path() + "/afile", "x");
  const struct {
    std::vector<std::string> args;
    int status;
    const char* says;
  } cases[] = {
      {args(gone, dir), 1, "404"},
      {args(server.url("oldgone"), dir), 1, "ICY 404"},
      {args("http://127.0.0.1:1/x", dir), 1, "cannot record"},  // port 1 is never ours
      {args(gone, root.path() + "/afile/music"), 1, "cannot create the folder"},
      {args(server.url("doc24"), dir), 1, "(text/html), not an audio stream"},
      {args(server.url("doc16"), dir), 1, "(application/json), not an audio stream"},
      {args(server.url("doc15"), dir), 1, "(application/xml), not an audio stream"},
      {args(server.url("doc10"), dir), 1, "(text/plain), not an audio stream"},
      {{}, 2, "--help"},
      {{gone}, 2, "--help"},
      {{"-d", dir}, 2, "--help"},
      {{"ftp://host/x", "-d", dir}, 2, "--help"},
      {{"not a url", "-d", dir}, 2, "--help"},
      {{gone, "-d", dir, "--retries", "many"}, 2, "--help"},
      {{gone, "-d", dir, "--bogus"}, 2, "--help"},
      {{gone, "-d"}, 2, "--help"},
      {{"--help"}, 0, ""},
  };
  for (const auto& c : cases) {
    auto run = runRipper(root, c.args);
    EXPECT_EQ(run.exitCode, c.status) << c.says << ": " << run.err;
    EXPECT_NE((run.err + run.out).find(c.says), std::string::npos) << run.err;
  }
  expectNoRunFiles(root);
  EXPECT_FALSE(std::filesystem::exists(dir + "/127.0.0.1"));
}

TEST(Lumoripper, AFullDiskIsAnErrorThatKeepsWhatWasWritten) {
  TempRoot root;
  RadioServer server(root.path() + "/server");
  server.plan("s", R"({"metaint": 1000, "forever": true, "segments": [["Big", 1000]]})");
  const std::string dir = root.path() + "/music";
  // Links placed where the run files go are replaced, never written through.
  testsupport::writeFile(root.path() + "/victim", "keep");
  const std::string links = "for f in lumopid.new$$ lumorip.new$$ lumorip; do ln -s ../victim \"$ORUVEL_ROOT/tmp/$f\"; done\n";
  // A file-size limit of 40 blocks of 512 bytes counts as a full disk.
  auto run = runRipper(root, args(server.url("s"), dir), links + "ulimit -f 40");
  EXPECT_EQ(testsupport::readFile(root.path() + "/victim"), "keep");
  EXPECT_EQ(run.exitCode, 1) << run.err;
  EXPECT_NE(run.err.find("cannot write"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("Big (partial).mp3"), std::string::npos) << run.err;
  const std::string kept = testsupport::readFile(dir + "/127.0.0.1/Big (partial).mp3");
  EXPECT_EQ(kept.size(), 40u * 512);
  EXPECT_EQ(kept, server.sent("s").substr(0, kept.size()));
  expectNoRunFiles(root);
}

TEST(Lumoripper, ReconnectsAfterDropsAndShowsItInTheProgressLine) {
  TempRoot root;
  RadioServer server(root.path() + "/server");
  // Two drops and a stall; every connection starts again where the last ended.
  server.plan("d", R"({"metaint": 1000, "rate": 20000, "segments": [["A", 3000], ["B", 5000]],
                       "drops": [1500, 4500], "stalls": [6000]})");
  const std::string dir = root.path() + "/music";
  std::set<std::string> lines;  // the progress line, read the way the plug-in reads it
  {
    BackgroundRipper ripper(root, args(server.url("d"), dir, {"--retries", "3", "--retry-delay", "0.6", "--stall", "1"}));
    waitFor([&] {
      if (root.exists("/tmp/lumorip")) lines.insert(root.read("/tmp/lumorip"));
      return ripper.done.load();
    }, 45);
  }
  const std::regex wellFormed(R"((reconnecting \([1-3]/3\) )?\d\d:\d\d (\d+KB|\d+\.\dMB) (A|B|127\.0\.0\.1))");
  bool sawReconnect = false;
  for (const auto& l : lines) {
    EXPECT_TRUE(l.empty() || std::regex_match(l, wellFormed)) << "[" << l << "]";
    sawReconnect |= l.rfind("reconnecting (1/3) ", 0) == 0;
  }
  EXPECT_TRUE(sawReconnect);
  // Nothing lost: the files together are what was sent, in order. The
  // server's titles are per connection, so B starts where the reconnected
  // connection first named it.
  const Files files = filesIn(dir + "/127.0.0.1");
  const std::string sent = server.sent("d");
  ASSERT_EQ(sent.size(), 8000u);
  ASSERT_EQ(files.size(), 2u);
  EXPECT_EQ(files.at("A (partial).mp3") + files.at("B (partial).mp3"), sent);
  expectNoRunFiles(root);
}

TEST(Lumoripper, AStationThatEndsAndStartsAgainIsRecordedOnceIntoOneFileThenGivenUp) {
  TempRoot root;
  RadioServer server(root.path() + "/server");
  // Every connection plays the same song again and ends cleanly.
  server.plan("again", R"({"metaint": 1000, "repeat": true, "segments": [["Same", 3000]]})");
  const std::string dir = root.path() + "/music";
  auto run = runRipper(root, args(server.url("again"), dir, {"--retry-delay", "0.1", "--max-reconnects", "2"}));
  EXPECT_EQ(run.exitCode, 1) << run.err;
  EXPECT_NE(run.err.find("gave up after 2 reconnects within 600 seconds"), std::string::npos) << run.err;
  // The reconnects' audio continues the one file of the title, never a copy.
  EXPECT_EQ(filesIn(dir + "/127.0.0.1"), (Files{{"Same (partial).mp3", server.sent("again")}}));
  EXPECT_EQ(server.sent("again").size(), 3 * 3000u);
  expectNoRunFiles(root);
}

TEST(Lumoripper, SigtermOrSigintKeepsThePartialTrackAndCleansUp) {
  for (int sig : {SIGTERM, SIGINT}) {
    SCOPED_TRACE(sig);
    TempRoot root;
    RadioServer server(root.path() + "/server");
    server.plan("live", R"({"metaint": 2000, "rate": 40000, "forever": true,
                            "headers": {"icy-name": "Live"}, "segments": [["One", 6000], ["Two", 4000]]})");
    const std::string station = root.path() + "/music/Live";
    BackgroundRipper ripper(root, args(server.url("live"), root.path() + "/music"));
    ASSERT_TRUE(waitFor([&] { return !filesIn(station)["Two (partial).mp3"].empty(); }, 30));
    ASSERT_TRUE(waitFor([&] { return root.read("/tmp/lumorip").find("Two") != std::string::npos || ripper.done; }, 30));
    ASSERT_FALSE(ripper.done) << ripper.result.err;
    // The PID file's first word is the ripper's process ID.
    const std::string pid = root.read("/tmp/lumopid");
    EXPECT_EQ(pid.substr(0, pid.find_first_of(" \n")) + "\n", root.read("/ripper.pid"));
    EXPECT_TRUE(std::regex_match(root.read("/tmp/lumorip"), std::regex(R"(\d\d:\d\d \d+KB Two)")))
        << root.read("/tmp/lumorip");

    ripper.signal(sig);
    ASSERT_TRUE(waitFor([&] { return ripper.done.load(); }, 30));
    EXPECT_EQ(ripper.result.exitCode, 0) << ripper.result.err;
    const Files files = filesIn(station);
    const std::string sent = server.sent("live"), two = files.at("Two (partial).mp3");
    EXPECT_EQ(files.size(), 2u);
    EXPECT_EQ(files.at("One (partial).mp3"), sent.substr(0, 6000));
    // What was in flight when it stopped may be missing, nothing else.
    EXPECT_EQ(two, sent.substr(6000, two.size()));
    expectNoRunFiles(root);
  }
}

}  // namespace

namespace {

// Decodes `file` to 8 kHz mono; its tone in Hz (the median of each tenth of
// a second's zero crossings), or -1 when the decoder complained about
// anything or found no audio.
double toneOf(const std::string& file) {
  auto r = testsupport::runProgram({"/usr/bin/ffmpeg", "-v", "error", "-i", file, "-f", "s16le", "-ac", "1", "-ar",
                                    "8000", "-"}, "", 60);
  const std::size_t samples = r.out.size() / 2;
  if (r.exitCode != 0 || !r.err.empty() || samples < 800) return -1;
  const auto* s = reinterpret_cast<const int16_t*>(r.out.data());
  std::vector<int> perTenth;
  for (std::size_t at = 0; at + 801 <= samples; at += 800) {
    int crossings = 0;
    for (std::size_t i = at + 1; i <= at + 800; ++i) crossings += (s[i - 1] < 0) != (s[i] < 0);
    perTenth.push_back(crossings);
  }
  std::nth_element(perTenth.begin(), perTenth.begin() + perTenth.size() / 2, perTenth.end());
  return perTenth[perTenth.size() / 2] * 5.0;
}

// True when whole MP3 or ADTS frames fill `bytes` from its first byte to its last.
bool wholeFrames(const std::string& bytes, bool adts) {
  const auto* d = reinterpret_cast<const std::uint8_t*>(bytes.data());
  std::size_t at = 0;
  while (at + 7 <= bytes.size()) {
    std::size_t n = adts ? icy::adtsFrameLength(d + at) : icy::mpegFrameLength(d + at);
    if (n == 0) return false;
    at += n;
  }
  return at == bytes.size();
}

}  // namespace

TEST(Lumoripper, EachFormatIsCutAcrossATitleChangeIntoFilesThatPlayOnTheirOwn) {
  if (access("/usr/bin/ffmpeg", X_OK) != 0) GTEST_SKIP() << "ffmpeg is not installed (scripts/setup.sh installs it)";
  const struct {
    const char *codec, *format, *contentType, *ext;
    int titleShift;  // where the new title comes, from the second tone's first byte
  } cases[] = {
      {"libmp3lame", "mp3", "audio/mpeg", ".mp3", 700},
      {"aac", "adts", "audio/mpeg", ".aac", 300},  // a wrong content type: the bytes decide
      {"libvorbis", "ogg", "application/ogg", ".ogg", 700},  // the title after the new stream's start
      {"libvorbis", "ogg", "audio/ogg", ".ogg", -700},       // and before it
      {"libopus", "ogg", "audio/ogg", ".opus", 500},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.codec) + " " + std::to_string(c.titleShift));
    TempRoot root;
    std::string audio;
    for (int hz : {440, 880}) {
      const std::string tone = root.path() + "/" + std::to_string(hz);
      auto made = testsupport::runProgram({"/usr/bin/ffmpeg", "-v", "error", "-f", "lavfi", "-i",
                                           "sine=frequency=" + std::to_string(hz) + ":duration=3", "-c:a", c.codec,
                                           "-map_metadata", "-1", "-write_xing", "0", "-id3v2_version", "0", "-f",
                                           c.format, tone}, "", 60);
      ASSERT_EQ(made.exitCode, 0) << made.err;
      audio += testsupport::readFile(tone);
    }
    const std::size_t first = testsupport::readFile(root.path() + "/440").size();
    testsupport::writeFile(root.path() + "/both", audio);
    RadioServer server(root.path() + "/server");
    server.plan("s", std::string(R"({"metaint": 1000, "content_type": ")") + c.contentType +
                         R"(", "audio_file": ")" + root.path() + R"(/both", "segments": [["Low", )" +
                         std::to_string(first + c.titleShift) + R"(], ["High", )" +
                         std::to_string(audio.size() - first - c.titleShift) + "]]}");
    auto run = runRipper(root, args(server.url("s"), root.path() + "/music"));
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const Files files = filesIn(root.path() + "/music/127.0.0.1");
    const std::string low = std::string("Low (partial)") + c.ext, high = std::string("High (partial)") + c.ext;
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files.at(low) + files.at(high), audio);  // every byte, in order
    for (const auto& [name, hz] : {std::pair{low, 440.0}, std::pair{high, 880.0}}) {
      EXPECT_NEAR(toneOf(root.path() + "/music/127.0.0.1/" + name), hz, hz * 0.03) << name;
      const bool framed = c.ext == std::string(".mp3") || c.ext == std::string(".aac");
      EXPECT_TRUE(!framed || wholeFrames(files.at(name), c.ext == std::string(".aac"))) << name;
    }
  }
}
