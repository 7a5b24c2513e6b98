// lumoripper against the stand-in's stream plans, judged by what it leaves
// on disk (the recordings, /tmp/lumorip, /tmp/lumopid), its exit status
// and what it says on standard error.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <set>
#include <tuple>

#include "tests/lumoripper/ripper_harness.h"
#include "tests/e2e/tone.h"
#include "tools/icy/stream_format.h"

using namespace rippertest;
using testsupport::TempRoot;

namespace {

// Quick retries so a stream's end is noticed fast.
std::vector<std::string> args(const std::string& url, const std::string& dir,
                              std::vector<std::string> extra = {"--retries", "2", "--retry-delay", "0.1"}) {
  extra.insert(extra.begin(), {url, "-d", dir});
  return extra;
}

// Neither run file, nor a temporary one of the atomic replace, is left.
void expectNoRunFiles(const TempRoot& root) { EXPECT_EQ(filesIn(root.path() + "/tmp"), Files{}); }

TEST(Lumoripper, SplitsTracksByTitleKeepsEveryByteAndNamesSafely) {
  // earlier: a file already there; tracks in the order they were sent.
  // tagged: one track's ID3 frames (title, station).
  const struct { const char* plan; std::string folder, earlier; std::vector<std::pair<std::string, size_t>> tracks;
                 std::string tagged; std::map<std::string, std::string> frames; } cases[] = {
      {R"({"metaint": 1000, "headers": {"icy-name": "Test FM/Rock"},
           "segments": [["A", 3000], ["B", 4000], ["C", 2000]]})",
       "Test FM-Rock", "B.mp3", {{"A (partial).mp3", 3000}, {"B (2).mp3", 4000}, {"C (partial).mp3", 2000}},
       "B (2).mp3", {{"TIT2", "B"}, {"TRSN", "Test FM/Rock"}}},
      // The old ICY answer; Latin-1 titles become UTF-8 names; titles alike
      // only once cleaned stay two tracks.
      {R"({"status_line": "ICY 200 OK", "content_type": "audio/aacp", "metaint": 500, "title_charset": "latin-1",
           "headers": {"icy-name": "..Caf\u00e9\u0007"},
           "segments": [["Caf\u00e9", 1000], ["Song?", 1000], ["Song*", 1000], ["../End", 500]]})",
       "Caf\xc3\xa9", "",
       {{"Caf\xc3\xa9 (partial).aac", 1000}, {"Song-.aac", 1000}, {"Song- (2).aac", 1000}, {"-End (partial).aac", 500}},
       // The tag keeps the title as sent, the name only what a file system takes.
       "Song-.aac", {{"TIT2", "Song?"}, {"TRSN", "..Caf\xc3\xa9"}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.folder);
    TempRoot root;
    RadioServer server(root.path() + "/server");
    server.plan("s", c.plan);
    const std::string dir = root.path() + "/music";
    Files expected;
    if (!c.earlier.empty()) testsupport::writeFile(dir + "/" + c.folder + "/" + c.earlier, expected[c.earlier] = "old");
    auto run = runRipper(root, args(server.url("s"), dir));
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.err.find("the stream ended"), std::string::npos) << run.err;
    const std::string sent = server.sent("s");
    size_t at = 0;
    for (const auto& [name, size] : c.tracks) expected[name] = sent.substr(at, size), at += size;
    EXPECT_EQ(at, sent.size());
    EXPECT_EQ(audioIn(dir + "/" + c.folder), expected);
    Tagged tagged = untag(testsupport::readFile(dir + "/" + c.folder + "/" + c.tagged));
    EXPECT_TRUE(std::regex_match(tagged.frames["TDRC"], std::regex(R"(\d{4}-\d\d-\d\d)"))) << tagged.frames["TDRC"];
    tagged.frames.erase("TDRC");
    EXPECT_EQ(tagged.frames, c.frames);
    EXPECT_EQ(filesIn(dir), Files{});
    expectNoRunFiles(root);
  }
}

TEST(Lumoripper, AJingleRepeatedPastItsNinehundredNinetyNinthNameIsStillRecorded) {
  TempRoot root;
  RadioServer server(root.path() + "/server");
  // Two jingles taking turns 1,002 times each, a title every 32 bytes.
  std::string segments;
  for (int i = 0; i < 2004; ++i) segments += std::string(i ? ", " : "") + (i % 2 ? R"(["Jingle B", 32])" : R"(["Jingle A", 32])");
  server.plan("s", R"({"metaint": 32, "segments": [)" + segments + "]}");
  const std::string dir = root.path() + "/music";
  auto run = runRipper(root, args(server.url("s"), dir), "", 300);
  EXPECT_EQ(run.exitCode, 0) << run.err;
  const Files files = audioIn(dir + "/127.0.0.1");
  EXPECT_EQ(files.size(), 2003u);  // the first title comes after the first 32 bytes: B's
  std::size_t audio = 0, timed = 0;
  for (const auto& [name, content] : files) {
    audio += content.size();
    timed += std::regex_match(name, std::regex(R"(Jingle [AB] \d{4}-\d\d-\d\d \d\d-\d\d-\d\d( \(\d+\))?\.mp3)"));
  }
  EXPECT_EQ(audio, server.sent("s").size());
  EXPECT_EQ(timed, 3u);  // whole: 1,001 of A and 1,000 of B (the first and the last stay partial)
  EXPECT_EQ(files.count("Jingle A (999).mp3") + files.count("Jingle B (999).mp3"), 2u);
}

TEST(Lumoripper, ErrorsSayWhyAndLeaveNothingBehind) {
  TempRoot root;
  RadioServer server(root.path() + "/server");
  server.plan("gone", R"({"status_line": "HTTP/1.0 404 Not Found"})");
  server.plan("oldgone", R"({"status_line": "ICY 404 Resource Not Found"})");
  server.plan("html", R"({"content_type": "text/html; charset=utf-8", "segments": [["x", 5000]]})");
  const std::string dir = root.path() + "/music", gone = server.url("gone");
  testsupport::writeFile(root.path() + "/afile", "x");
  const struct { std::vector<std::string> args; int status; const char* says; } cases[] = {
      {args(gone, dir), 1, "404"},
      {args(server.url("oldgone"), dir), 1, "ICY 404"},
      {args("http://127.0.0.1:1/x", dir), 1, "cannot record"},  // port 1 is never ours
      {args(gone, root.path() + "/afile/music"), 1, "cannot create the folder"},
      {args(server.url("html"), dir), 1, "(text/html), not an audio stream"},
      {{}, 2, "--help"}, {{gone}, 2, "--help"}, {{"ftp://host/x", "-d", dir}, 2, "--help"},
      {{"not a url", "-d", dir}, 2, "--help"}, {{gone, "-d", dir, "--retries", "many"}, 2, "--help"},
      {{gone, "-d", dir, "--bogus"}, 2, "--help"}, {{gone, "-d"}, 2, "--help"}, {{"--help"}, 0, ""},
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
  EXPECT_TRUE(run.err.find("cannot write") != std::string::npos && run.err.find("Big (partial).mp3") != std::string::npos)
      << run.err;
  const std::string kept = testsupport::readFile(dir + "/127.0.0.1/Big (partial).mp3");
  EXPECT_EQ(kept.size(), 40u * 512);
  const std::string audio = untag(kept).audio;
  EXPECT_EQ(audio, server.sent("s").substr(0, audio.size()));
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
  for (const auto& l : lines) EXPECT_TRUE(l.empty() || std::regex_match(l, wellFormed)) << "[" << l << "]";
  EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](auto& l) { return l.rfind("reconnecting (1/3) ", 0) == 0; }));
  // Nothing lost: the files together are what was sent, in order.
  ASSERT_EQ(server.sent("d").size(), 8000u);
  Files files = audioIn(dir + "/127.0.0.1");
  EXPECT_EQ(files["A (partial).mp3"] + files["B (partial).mp3"], server.sent("d"));
  EXPECT_EQ(files.size(), 2u);
  expectNoRunFiles(root);
}

TEST(Lumoripper, AStationThatEndsAndStartsAgainIsRecordedOnceIntoOneFileThenGivenUp) {
  TempRoot root;
  RadioServer server(root.path() + "/server");
  // Reached by two redirects; every connection plays the same song again, with no title.
  server.plan("again", R"({"repeat": true, "content_type": "application/ogg", "segments": [["x", 3000]]})");
  server.plan("hop1", R"({"redirect": "/plan/hop2"})");
  server.plan("hop2", R"({"redirect": ")" + server.url("again") + R"("})");
  const std::string dir = root.path() + "/new/deeper/music";  // created on the way
  auto run = runRipper(root, args(server.url("hop1"), dir, {"--retry-delay", "0.1", "--max-reconnects", "2"}));
  EXPECT_EQ(run.exitCode, 1) << run.err;
  EXPECT_NE(run.err.find("gave up after 2 reconnects within 600 seconds"), std::string::npos) << run.err;
  // The reconnects' audio continues the one file named by host and time, never a copy.
  const Files files = filesIn(dir + "/127.0.0.1");
  ASSERT_EQ(files.size(), 1u);
  EXPECT_TRUE(std::regex_match(files.begin()->first, std::regex(R"(127\.0\.0\.1 \d{4}-\d\d-\d\d \d\d-\d\d-\d\d\.ogg)")))
      << files.begin()->first;
  EXPECT_EQ(files.begin()->second, server.sent("again"));
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
    ASSERT_TRUE(waitFor([&] { return ripper.done || (!filesIn(station)["Two (partial).mp3"].empty() &&
                                     std::regex_match(root.read("/tmp/lumorip"), std::regex(R"(\d\d:\d\d \d+KB Two)"))); }, 30));
    ASSERT_FALSE(ripper.done) << ripper.result.err;
    // The PID file's first word is the ripper's process ID.
    const std::string pid = root.read("/tmp/lumopid");
    EXPECT_EQ(pid.substr(0, pid.find_first_of(" \n")) + "\n", root.read("/ripper.pid"));
    ripper.signal(sig);
    ASSERT_TRUE(waitFor([&] { return ripper.done.load(); }, 30));
    EXPECT_EQ(ripper.result.exitCode, 0) << ripper.result.err;
    const Files files = audioIn(station);
    const std::string sent = server.sent("live"), two = files.at("Two (partial).mp3");
    EXPECT_EQ(files.size(), 2u);
    EXPECT_EQ(files.at("One (partial).mp3"), sent.substr(0, 6000));
    EXPECT_EQ(two, sent.substr(6000, two.size()));  // only what was in flight may be missing
    expectNoRunFiles(root);
  }
}

// True when whole MP3 or ADTS frames fill `bytes` from its first byte to its last.
bool wholeFrames(const std::string& bytes, bool adts) {
  const auto* d = reinterpret_cast<const std::uint8_t*>(bytes.data());
  std::size_t at = 0, n = 1;
  while (at + 7 <= bytes.size() && (n = adts ? icy::adtsFrameLength(d + at) : icy::mpegFrameLength(d + at))) at += n;
  return at == bytes.size();
}

// The tags ffprobe reads in a file, lower-cased keys: "title=Low\nartist=X\n".
std::string probeTags(const std::string& file) {
  auto r = testsupport::runProgram({"/usr/bin/ffprobe", "-v", "error", "-show_entries", "format_tags=title,artist:stream_tags=title,artist",
                                    "-of", "default=nw=1:nk=0", file});
  std::string tags;
  for (std::size_t at = 0, end; (end = r.out.find('\n', at)) != std::string::npos; at = end + 1) {
    std::string line = r.out.substr(at, end - at);
    if (line.rfind("TAG:", 0) == 0) line.erase(0, 4);
    std::transform(line.begin(), line.begin() + line.find('='), line.begin(), ::tolower);
    if (tags.find(line + "\n") == std::string::npos) tags += line + "\n";
  }
  return tags;
}

TEST(Lumoripper, EachFormatIsCutAcrossATitleChangeIntoTaggedFilesThatPlayOnTheirOwn) {
  if (access("/usr/bin/ffmpeg", X_OK) != 0) GTEST_SKIP() << "ffmpeg is not installed (scripts/setup.sh installs it)";
  // Each part an encoded tone (a logical stream of its own in Ogg); the title
  // changes `shift` bytes after the last part starts, or at `fraction` of it.
  struct Part { const char* codec; const char* tones; };  // tones: "440:3" or "440:18,880:2"
  const struct { std::vector<Part> parts; const char *format, *contentType; int shift; double fraction;
                 std::string lowExt, highExt; double lowSeconds, highSeconds; bool latin1; } cases[] = {
      {{{"libmp3lame", "440:3"}, {"libmp3lame", "880:3"}}, "mp3", "audio/mpeg", 700, 0, ".mp3", ".mp3", 3, 3, false},
      // A wrong content type: the bytes decide.
      {{{"aac", "440:3"}, {"aac", "880:3"}}, "adts", "audio/mpeg", 300, 0, ".aac", ".aac", 3, 3, true},
      {{{"libvorbis", "440:3"}, {"libvorbis", "880:3"}}, "ogg", "application/ogg", 700, 0, ".ogg", ".ogg", 3, 3, true},
      {{{"libvorbis", "440:3"}, {"libvorbis", "880:3"}}, "ogg", "audio/ogg", -700, 0, ".ogg", ".ogg", 3, 3, false},
      {{{"libopus", "440:3"}, {"libopus", "880:3"}}, "ogg", "audio/ogg", 500, 0, ".opus", ".opus", 3, 3, false},
      // A chain: each file by its own format.
      {{{"libopus", "440:3"}, {"libvorbis", "880:3"}}, "ogg", "audio/ogg", 0, 0, ".opus", ".ogg", 3, 3, false},
      {{{"libvorbis", "440:3"}, {"libopus", "880:3"}}, "ogg", "audio/ogg", 0, 0, ".ogg", ".opus", 3, 3, false},
      // A stream that starts again in mid-title: the cut stays at the title,
      // and the next file starts with the new stream's headers (Vorbis on
      // Vorbis: the only chain the decoder plays whole).
      {{{"libvorbis", "440:2"}, {"libvorbis", "440:18,880:2"}}, "ogg", "audio/ogg", 0, 0.9, ".ogg", ".ogg", 20, 2, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.parts[0].codec) + " " + c.parts[1].codec + " " + std::to_string(c.shift));
    TempRoot root;
    std::string audio, last;
    for (const Part& part : c.parts) {
      std::string filter, tones = part.tones;
      int n = 0;
      for (std::size_t at = 0; at < tones.size(); ++n) {
        std::size_t end = std::min(tones.find(',', at), tones.size()), colon = tones.find(':', at);
        filter += "sine=frequency=" + tones.substr(at, colon - at) + ":duration=" + tones.substr(colon + 1, end - colon - 1) +
                  "[t" + std::to_string(n) + "];";
        at = end + 1;
      }
      for (int i = 0; i < n; ++i) filter += "[t" + std::to_string(i) + "]";
      filter += "concat=n=" + std::to_string(n) + ":v=0:a=1";
      auto made = testsupport::runProgram({"/usr/bin/ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i", filter, "-c:a", part.codec,
                                           "-map_metadata", "-1", "-write_xing", "0", "-id3v2_version", "0", "-f", c.format,
                                           root.path() + "/part"});
      ASSERT_EQ(made.exitCode, 0) << made.err;
      audio += last = root.read("/part");
    }
    const std::size_t lastStart = audio.size() - last.size();
    const std::size_t cut = lastStart + c.shift + static_cast<std::size_t>(c.fraction * last.size());
    testsupport::writeFile(root.path() + "/both", audio);
    const std::string artist = c.latin1 ? "Caf\u00e9" : "\u03a9mega";
    RadioServer server(root.path() + "/server");
    server.plan("s", std::string(R"({"metaint": 1000, "content_type": ")") + c.contentType + R"(", "audio_file": ")" +
                         root.path() + R"(/both", "title_charset": ")" + (c.latin1 ? "latin-1" : "utf-8") +
                         R"(", "headers": {"icy-name": "Tone FM"}, "segments": [[")" + artist + R"( - Low", )" +
                         std::to_string(cut) + R"(], [")" + artist + R"( - High", )" + std::to_string(audio.size() - cut) + "]]}");
    auto run = runRipper(root, args(server.url("s"), root.path() + "/music"));
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const std::string dir = root.path() + "/music/Tone FM/", low = artist + " - Low (partial)" + c.lowExt,
                      high = artist + " - High (partial)" + c.highExt;
    const Files files = filesIn(dir);
    ASSERT_EQ(files.size(), 2u) << files.begin()->first;
    const bool framed = c.lowExt == ".mp3" || c.lowExt == ".aac";
    if (framed) {  // every byte, in order, after the tag
      EXPECT_EQ(untag(files.at(low)).audio + untag(files.at(high)).audio, audio);
    }
    for (const auto& [name, hz, seconds, title] : {std::tuple{low, 440.0, c.lowSeconds, "Low"}, std::tuple{high, 880.0, c.highSeconds, "High"}}) {
      const testsupport::Heard heard = testsupport::hear(dir + name);
      EXPECT_NEAR(heard.hz, hz, hz * 0.03) << name;
      EXPECT_NEAR(heard.seconds, seconds, 0.7) << name;
      EXPECT_EQ(probeTags(dir + name), std::string("title=") + title + "\nartist=" + artist + "\n") << name;
      EXPECT_TRUE(!framed || wholeFrames(untag(files.at(name)).audio, c.lowExt == ".aac")) << name;
    }
  }
}

}  // namespace
