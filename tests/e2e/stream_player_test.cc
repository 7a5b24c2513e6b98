// The desktop host's real player against the stand-in directory: what each
// format decodes to, titles and station names, failures told, no decoder left.
#include <signal.h>

#include <filesystem>
#include <regex>

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
    StreamPlayer::Options options = decodeOnly(root);
    options.wavFile = root.path() + "/decoded.wav";
    StreamPlayer player(options);
    player.play(streamOf(directory, s.id));
    ASSERT_TRUE(waitFor([&] { return player.status().audioBytes == bytes; })) << player.status().problem;
    EXPECT_EQ(player.status().format, s.format);
    EXPECT_EQ(player.status().problem, "");
    player.stop();
    EXPECT_EQ(player.lastDecoderExit(), 0);
    const auto heard = testsupport::hear(options.wavFile);
    EXPECT_NEAR(heard.seconds, 8.0, 8.0 * 0.05);
    EXPECT_NEAR(heard.hz, 440.0, 440.0 * 0.03);
  }
}

TEST(StreamPlayer, TitlesInEitherCharsetAndABrokenStreamReportedBeforeTheNextPlays) {
  TempRoot root;
  StandIn directory({"--audio-dir", kAudioDir, "--speed", "4", "--title-seconds", "1"});
  StreamPlayer player(decodeOnly(root));
  // Bytes no decoder takes for audio: said so, no decoder, titles still come.
  eServiceHandler* handler = player.play(streamOf(directory, "3012"));
  ASSERT_TRUE(waitFor([&] { return !player.status().problem.empty(); })) << player.status().audioBytes;
  EXPECT_EQ(player.status().problem,
            "cannot play this stream: its audio is no MP3, AAC or Ogg (content type audio/aacp)");
  EXPECT_EQ(player.status().decoderPid, -1);
  EXPECT_TRUE(waitFor([&] { return handler->getInfo(1).rfind("Artist ", 0) == 0; }));
  // The next station plays; its UTF-8 titles move on at each new logical Ogg stream.
  handler = player.play(streamOf(directory, "1410"));
  EXPECT_TRUE(waitFor([&] { return handler->getInfo(1) == "Sigur Rós - Hoppípolla"; }));
  EXPECT_TRUE(alive(player.status().decoderPid));
  EXPECT_EQ(player.status().problem, "");
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
  const std::vector<std::string> mpg123 = {"mpg123", "-t", "-v", "-"};
  pid_t decoder = -1;
  {
    StreamPlayer player(decodeOnly(root, mpg123));
    eServiceHandler* handler = player.play(streamOf(directory, "1001"));
    ASSERT_TRUE(waitFor([&] { return !handler->getInfo(1).empty(); })) << player.status().problem;
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
  // A stream that answers 404, and nothing listening at all: said why, ended.
  StreamPlayer player(decodeOnly(root, mpg123));
  for (const auto& ref : {streamOf(directory, "3001"), eServiceReference("4096:0:0:0:0:0:0:0:0:0:http://127.0.0.1:1/s")}) {
    player.play(ref);
    ASSERT_TRUE(waitFor([&] { return player.status().ended; }));
    EXPECT_FALSE(player.status().problem.empty());
    player.stop();
  }
  // Without a decoder the titles still come, and the player line says why there is no sound.
  StreamPlayer silent(decodeOnly(root, {root.path() + "/no-such-decoder", "-"}));
  eServiceHandler* handler = silent.play(streamOf(directory, "1004"));
  ASSERT_TRUE(waitFor([&] { return !handler->getInfo(1).empty(); }));
  EXPECT_EQ(handler->getInfo(2), "Stadium Anthems HQ");
  EXPECT_NE(silent.status().problem.find("cannot start the decoder " + root.path() + "/no-such-decoder"),
            std::string::npos) << silent.status().problem;
  // A decoder that dies in the middle does not take the host with it, and is reported.
  StreamPlayer dying(decodeOnly(root, {"head", "-c", "1000"}));
  handler = dying.play(streamOf(directory, "1001"));
  ASSERT_TRUE(waitFor([&] { return dying.status().audioBytes >= 1000 && !handler->getInfo(1).empty(); }));
  EXPECT_TRUE(waitFor([&] { return dying.status().problem == "the decoder head stopped (exit status 0): it cannot play this stream; see the log"; }))
      << dying.status().problem;
  dying.stop();
  EXPECT_EQ(dying.lastDecoderExit(), 0);
}
