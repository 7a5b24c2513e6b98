// The desktop host's real player against the stand-in directory: what each
// format decodes to, titles and station names, failures told on the player
// line, reconnects that play on, no decoder left.
#include <signal.h>
#include <sys/stat.h>

#include <filesystem>
#include <regex>
#include <set>

#include <gtest/gtest.h>

#include "tests/e2e/tone.h"
#include "tests/support/host_run.h"
#include "tests/support/temp_root.h"
#include "tests/support/wait.h"
#include "tools/oruvel-host/stream_player.h"

using oruvel_host::StreamPlayer;
using testsupport::StandIn;
using testsupport::TempRoot;
using testsupport::waitFor;

namespace {

const std::string kAudioDir = ORUVEL_TEST_AUDIO_DIR;  // the tone stations' audio, rendered once

bool alive(pid_t pid) { return pid > 0 && ::kill(pid, 0) == 0; }

eServiceReference streamOf(const StandIn& directory, const std::string& id) {
  return eServiceReference("4096:0:0:0:0:0:0:0:0:0:http://" + directory.address() + "/stream/" + id);
}

StreamPlayer::Options decodeOnly(const TempRoot& root, std::vector<std::string> decoder = {}) {
  StreamPlayer::Options o;
  o.sound = false, o.decoder = std::move(decoder), o.decoderLog = root.path() + "/decoder.log";
  return o;
}

// Decoding into heard.wav under the root.
StreamPlayer::Options intoWav(const TempRoot& root) {
  StreamPlayer::Options o = decodeOnly(root);
  o.wavFile = root.path() + "/heard.wav";
  return o;
}

// The WAV holds the tone for about this long.
void expectTone(const std::string& wav, double seconds) {
  const auto heard = testsupport::hear(wav);
  EXPECT_NEAR(heard.seconds, seconds, seconds * 0.05);
  EXPECT_NEAR(heard.hz, 440.0, 440.0 * 0.03);
}

// The player line's state as the script's `player` command prints it, without the quotes.
std::string line(const StreamPlayer& player) {
  const StreamPlayer::Status s = player.status();
  std::string text = StreamPlayer::stateName(s.state);
  if (s.state == StreamPlayer::State::Reconnecting) text += " " + std::to_string(s.attempt);
  return text + " " + s.text;
}

// The stand-in playing the plans written into a folder of the root.
struct Plans {
  explicit Plans(const TempRoot& root) : dir(root.path() + "/plans") { std::filesystem::create_directories(dir); }
  void add(const std::string& name, const std::string& json) const { testsupport::writeFile(dir + "/" + name + ".json", json); }
  std::string url(const StandIn& standIn, const std::string& name) const { return "http://" + standIn.address() + "/plan/" + name; }
  std::string dir;
};

eServiceReference streamAt(const std::string& url) { return eServiceReference("4096:0:0:0:0:0:0:0:0:0:" + url); }

std::string audioPlan(const std::string& file, const std::string& more = "") {
  return "{\"audio_file\": \"" + file + "\", \"metaint\": 8192, \"segments\": [[\"Tone - One\", " +
         std::to_string(std::filesystem::file_size(file)) + "]]" + more + "}";
}

}  // namespace

TEST(StreamPlayer, EveryFormatDecodesIntoAWavOfItsToneAndLength) {
  // Each station sends its eight-second tone file once and then holds the line.
  const struct { const char *id, *file, *format; } stations[] = {
      {"1311", "sine-128.mp3", "MP3"},        {"1310", "sine-128.aac", "AAC"},  // labelled audio/aacp
      {"2104", "sine-64.aac", "AAC"},         {"1410", "sine-128.ogg", "Ogg Vorbis"},
      {"1510", "sine-96.opus", "Ogg Opus"},   {"3011", "sine-128.aac", "AAC"},  // says audio/mpeg
  };
  for (const auto& s : stations) {
    SCOPED_TRACE(std::string(s.id) + " " + s.format);
    TempRoot root;
    const auto bytes = std::filesystem::file_size(kAudioDir + "/" + s.file);
    StandIn directory({"--audio-dir", kAudioDir, "--speed", "0", "--metaint", "0", "--stall-stream-after",
                       std::to_string(bytes)});
    StreamPlayer::Options options = intoWav(root);
    StreamPlayer player(options);
    player.play(streamOf(directory, s.id));
    ASSERT_TRUE(waitFor([&] { return player.status().audioBytes == bytes; })) << line(player);
    EXPECT_EQ(player.status().format, s.format);
    EXPECT_EQ(player.status().state, StreamPlayer::State::Playing) << line(player);
    player.stop();
    EXPECT_EQ(player.lastDecoderExit(), 0);
    expectTone(options.wavFile, 8.0);
  }
}

TEST(StreamPlayer, TitlesInEitherCharsetAndABrokenStreamReportedBeforeTheNextPlays) {
  TempRoot root;
  StandIn directory({"--audio-dir", kAudioDir, "--speed", "4", "--title-seconds", "1"});
  StreamPlayer player(decodeOnly(root));
  // Bytes no decoder takes for audio: said so, no decoder.
  eServiceHandler* handler = player.play(streamOf(directory, "3012"));
  ASSERT_TRUE(waitFor([&] { return player.status().ended; })) << player.status().audioBytes;
  EXPECT_EQ(line(player), "failed cannot play the stream from " + directory.address() +
                              ": its audio is no MP3, AAC or Ogg (content type audio/aacp)");
  EXPECT_EQ(player.status().decoderPid, -1);
  // The next station plays; its UTF-8 titles move on at each new logical Ogg stream.
  handler = player.play(streamOf(directory, "1410"));
  EXPECT_TRUE(waitFor([&] { return handler->getInfo(1) == "Sigur Rós - Hoppípolla"; }));
  EXPECT_TRUE(alive(player.status().decoderPid));
  EXPECT_EQ(line(player), "playing Sigur Rós - Hoppípolla");
  // Latin-1 titles reach the plug-in as sent.
  handler = player.play(streamOf(directory, "1310"));
  ASSERT_TRUE(waitFor([&] { return handler->getInfo(1) == "Caf\xe9 Tacvba - Eres"; }));
  ASSERT_TRUE(waitFor([&] { return handler->getInfo(1) == "Zo\xeb M\xfcller - \xc7" "a pla\xeet \xe0 No\xebl"; }));
  EXPECT_EQ(player.status().format, "AAC");
  player.stop();
  EXPECT_EQ(player.lastDecoderExit(), 0);
}

TEST(StreamPlayer, MpegStreamsDecodeEveryFrameAndNoDecoderOutlivesItsStream) {
  TempRoot root;
  StandIn directory({"--speed", "4", "--title-seconds", "1"});
  const std::vector<std::string> mpg123 = {"mpg123", "-v", "-w", "-", "-"};
  pid_t decoder = -1;
  {
    StreamPlayer player(decodeOnly(root, mpg123));
    eServiceHandler* handler = player.play(streamOf(directory, "1001"));
    ASSERT_TRUE(waitFor([&] { return !handler->getInfo(1).empty(); })) << line(player);
    EXPECT_EQ(handler->getInfo(2), "Radio Kestrel Rock");
    const std::string first = handler->getInfo(1);
    EXPECT_TRUE(std::regex_match(first, std::regex("Artist [0-9]+ - Song [0-9]+"))) << first;
    EXPECT_TRUE(waitFor([&] { return handler->getInfo(1) != first && player.status().audioBytes > 96 * 1024; }));
    decoder = player.status().decoderPid;
    player.stop();
    EXPECT_EQ(player.lastDecoderExit(), 0);
    EXPECT_FALSE(alive(decoder));
    EXPECT_EQ(player.status().decoderPid, -1);
    // The decoder saw MPEG frames only: no metadata or junk reached it.
    // Its end cuts the last frame short: one end-of-input complaint at most.
    std::string log = testsupport::readFile(root.path() + "/decoder.log");
    EXPECT_NE(log.find("MPEG 1.0 L III"), std::string::npos) << log.substr(0, 2000);
    EXPECT_NE(log.find("Decoding of - finished"), std::string::npos);
    EXPECT_TRUE(std::regex_search(log, std::regex("> 0*[1-9][0-9]{2,}\\+")));  // over 100 frames decoded
    const size_t cut = log.find("Error reading the stream");
    if (cut != std::string::npos) {
      EXPECT_EQ(log.find("Error reading the stream", cut + 1), std::string::npos);
      log.erase(log.rfind('\n', cut) == std::string::npos ? 0 : log.rfind('\n', cut));
    }
    log = std::regex_replace(log, std::regex(".*Cannot rewind WAV file.*"), "");  // a pipe has no start to go back to
    for (const char* trouble : {"rror", "llegal", "arning", "junk", "resync"})
      EXPECT_EQ(log.find(trouble), std::string::npos) << trouble << ": " << log.substr(log.find(trouble), 400);
    handler = player.play(streamOf(directory, "1201"));
    ASSERT_TRUE(waitFor([&] { return handler->getInfo(2) == "Smooth Harbour Jazz" && player.status().audioBytes > 0; }));
    decoder = player.status().decoderPid;
    EXPECT_TRUE(alive(decoder));
    player.play(streamOf(directory, "1001"));  // replaced: the decoder ends with its stream
    EXPECT_FALSE(alive(decoder));
    ASSERT_TRUE(waitFor([&] { return player.status().audioBytes > 0; }));
    decoder = player.status().decoderPid;
  }
  EXPECT_FALSE(alive(decoder));  // the player went, and its decoder with it
  // Without a decoder the stream is said to be unplayable and no longer fetched.
  StreamPlayer silent(decodeOnly(root, {root.path() + "/no-such-decoder", "-"}));
  silent.play(streamOf(directory, "1004"));
  ASSERT_TRUE(waitFor([&] { return silent.status().ended; }));
  EXPECT_EQ(line(silent), "failed cannot play the stream from " + directory.address() + ": no decoder for MP3 (cannot start " +
                              root.path() + "/no-such-decoder: No such file or directory; install " + root.path() + "/no-such-decoder)");
  // A decoder that stops on what it is given is started again on what follows; twice without audio ends the stream.
  StreamPlayer dying(decodeOnly(root, {"head", "-c", "1000"}));
  dying.play(streamOf(directory, "1001"));
  ASSERT_TRUE(waitFor([&] { return dying.status().ended; }));
  EXPECT_EQ(line(dying), "failed the decoder head stopped (exit status 0): it cannot play the stream from " +
                             directory.address() + "; see the log");
  dying.stop();
  EXPECT_EQ(dying.lastDecoderExit(), 0);
}

TEST(StreamPlayer, EachFailureIsToldNamingTheHostAndNothingIsLeftRunning) {
  TempRoot root;
  Plans plans(root);
  plans.add("gone", R"({"status_line": "HTTP/1.0 404 Not Found"})");
  plans.add("busy", R"({"status_line": "HTTP/1.0 503 relay busy: 4 of 4 relays in use"})");
  plans.add("page", R"({"content_type": "text/html", "segments": [["x", 5000]]})");
  plans.add("silent", R"({"segments": [["x", 5000]], "stalls": [0]})");
  StandIn standIn({"--plans", plans.dir, "--audio-dir", kAudioDir});
  const std::string host = standIn.address();
  const struct { std::string url, said; } cases[] = {
      {"http://127.0.0.1:1/radio", "failed 127.0.0.1:1 refused the connection"},
      {plans.url(standIn, "gone"), "failed " + host + " refused the stream: 404 Not Found"},
      {plans.url(standIn, "busy"), "failed " + host + " refused the stream: 503 relay busy: 4 of 4 relays in use"},
      {plans.url(standIn, "page"), "failed " + host + " sent a document (text/html), not an audio stream"},
      {plans.url(standIn, "silent"), "failed no audio from " + host + " (no audio for 1 s)"},
  };
  StreamPlayer::Options options = decodeOnly(root);
  options.reader.firstAudioSeconds = 1;
  StreamPlayer player(options);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.url);
    player.play(streamAt(c.url));
    std::set<std::string> seen;
    ASSERT_TRUE(waitFor([&] { return seen.insert(line(player)), player.status().ended; }));
    if (c.url == plans.url(standIn, "silent")) {
      EXPECT_EQ(seen.count("connecting " + host), 1u);  // for the second it waits
    }
    EXPECT_EQ(line(player), c.said);
    EXPECT_EQ(player.status().reconnects, 0);  // a first connection without audio is no reconnect series
    EXPECT_EQ(player.status().decoderPid, -1);
  }
}

TEST(StreamPlayer, AStreamThatDropsOrStallsIsFetchedAgainAndTheWavGoesOn) {
  TempRoot root;
  Plans plans(root);
  const std::string tone = kAudioDir + "/sine-128.mp3";
  plans.add("cut", audioPlan(tone, R"(, "drops": [40000], "stalls": [90000], "rate": 64000)"));
  StandIn standIn({"--plans", plans.dir, "--audio-dir", kAudioDir});
  StreamPlayer::Options options = intoWav(root);
  options.reader.audioStallSeconds = 1;
  StreamPlayer player(options);
  player.play(streamAt(plans.url(standIn, "cut")));
  // Every state the player line went through, in order, with the text it
  // came with (a title may come just after the audio).
  std::vector<std::string> seen;
  auto state = [](const std::string& line) { return line.substr(0, line.find(' ', line.rfind("reconnecting", 0) == 0 ? 13 : 0)); };
  std::set<std::string> decoderFds;
  const auto bytes = std::filesystem::file_size(tone);
  ASSERT_TRUE(waitFor([&] {
    if (seen.empty() || state(seen.back()) != state(line(player))) seen.push_back(line(player));
    if (const pid_t pid = player.status().decoderPid; pid > 0)
      for (const auto& fd : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd", std::filesystem::directory_options::skip_permission_denied))
        decoderFds.insert(fd.path().filename());
    return player.status().audioBytes == bytes && player.status().state == StreamPlayer::State::Playing;
  })) << line(player);
  if (!seen.empty() && seen.front().rfind("connecting ", 0) == 0) seen.erase(seen.begin());  // may pass unseen
  const std::vector<std::string> expected = {"playing",
                                             "reconnecting 1 " + standIn.address() + " ended the stream", "playing",
                                             "reconnecting 1 audio from " + standIn.address() + " stopped (no audio for 1 s)",
                                             "playing"};
  for (auto& s : seen)
    if (s.rfind("playing ", 0) == 0) s = "playing";
  EXPECT_EQ(seen, expected);
  // The decoder holds its pipes and its log, never the stream's socket.
  EXPECT_EQ(decoderFds, (std::set<std::string>{"0", "1", "2"}));
  player.stop();
  expectTone(options.wavFile, 8.0);
}

TEST(StreamPlayer, ACodecChangeMidStreamPlaysOnWithTheDecoderForIt) {
  TempRoot root;
  Plans plans(root);
  const std::string mixed = root.path() + "/mp3-then-aac";  // labelled audio/mpeg throughout
  testsupport::writeFile(mixed, testsupport::readFile(kAudioDir + "/sine-128.mp3") + testsupport::readFile(kAudioDir + "/sine-128.aac"));
  plans.add("mixed", audioPlan(mixed));
  StandIn standIn({"--plans", plans.dir, "--audio-dir", kAudioDir});
  StreamPlayer::Options options = intoWav(root);
  StreamPlayer player(options);
  player.play(streamAt(plans.url(standIn, "mixed")));
  ASSERT_TRUE(waitFor([&] { return player.status().audioBytes == std::filesystem::file_size(mixed) && player.status().format == "AAC"; }))
      << line(player);
  player.stop();
  expectTone(options.wavFile, 16.0);
}

TEST(StreamPlayer, TheWavReplacesALinkAtItsPathAndAFolderThereIsNamed) {
  TempRoot root;
  StandIn directory({"--audio-dir", kAudioDir, "--speed", "0", "--metaint", "0"});
  StreamPlayer::Options options = intoWav(root);
  testsupport::writeFile(root.path() + "/precious", "keep me");
  std::filesystem::create_symlink(root.path() + "/precious", options.wavFile);
  {
    StreamPlayer player(options);
    player.play(streamOf(directory, "1311"));
    ASSERT_TRUE(waitFor([&] { return player.status().audioBytes > 64 * 1024 && std::filesystem::file_size(options.wavFile) > 64 * 1024; }));
  }
  EXPECT_EQ(testsupport::readFile(root.path() + "/precious"), "keep me");
  EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::symlink_status(options.wavFile)));
  std::filesystem::remove(options.wavFile);
  std::filesystem::create_directory(options.wavFile);
  StreamPlayer player(options);
  player.play(streamOf(directory, "1311"));
  ASSERT_TRUE(waitFor([&] { return player.status().ended; }));
  EXPECT_EQ(line(player), "failed cannot write the WAV file " + options.wavFile + ": Is a directory");
}

TEST(StreamPlayer, TheScriptsPlayerCommandTellsAnUnknownHost) {
  TempRoot root;
  const auto r = testsupport::runProgram(
      {testsupport::hostBinary(), "--root", root.path(), "--plugin", testsupport::pluginPath(), "--script", "-",
       "--player", "real", "--sound", "off", "--service", "4096:0:0:0:0:0:0:0:0:0:http://radio.invalid/live"},
      "player failed\n", 60, {"RES_OPTIONS=timeout:1 attempts:1"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(r.has("player failed \"host not found: radio.invalid\"\n")) << r.out;
}
