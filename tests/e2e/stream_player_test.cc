// The desktop host's real player against the stand-in directory: every
// format decodes into a WAV of the tone, rate and length encoded, titles
// and the station's name answer the info queries, a stream no decoder can
// play is reported, and no decoder outlives its stream.
#include <signal.h>
#include <unistd.h>

#include <clocale>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>
#include <regex>
#include <thread>
#include <utility>

#include <gtest/gtest.h>

#include "tests/support/host_run.h"
#include "tests/support/temp_root.h"
#include "tools/oruvel-host/stream_player.h"
#include "tools/oruvel-host/terminal_layout.h"

using oruvel_host::StreamPlayer;
using testsupport::StandIn;
using testsupport::TempRoot;

namespace {

// The stand-in's tone stations' audio, rendered once for the tests.
const std::string kAudioDir = ORUVEL_TEST_AUDIO_DIR;

bool waitFor(const std::function<bool()>& done, int seconds = 15) {
  auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (std::chrono::steady_clock::now() < until) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return done();
}

bool alive(pid_t pid) { return pid > 0 && ::kill(pid, 0) == 0; }

eServiceReference streamOf(const StandIn& directory, const std::string& id) {
  return eServiceReference("4096:0:0:0:0:0:0:0:0:0:http://" + directory.address() + "/stream/" + id);
}

StreamPlayer::Options decodeOnly(const TempRoot& root, std::vector<std::string> decoder = {}) {
  StreamPlayer::Options o;
  o.sound = false;
  o.decoder = std::move(decoder);
  o.decoderLog = root.path() + "/decoder.log";
  return o;
}

struct Wav {
  int format = 0, channels = 0, rate = 0, bits = 0;
  std::vector<std::int16_t> samples;  // interleaved
  double seconds() const { return rate && channels ? double(samples.size()) / channels / rate : 0; }
  // The tone's frequency from the first channel's rising zero crossings,
  // the first and last tenth left out.
  double tone() const {
    const std::size_t frames = channels ? samples.size() / channels : 0;
    const std::size_t from = frames / 10, to = frames - frames / 10;
    int rising = 0;
    for (std::size_t i = from + 1; i < to; ++i)
      if (samples[(i - 1) * channels] < 0 && samples[i * channels] >= 0) ++rising;
    return to > from ? rising * double(rate) / double(to - from) : 0;
  }
};

Wav readWav(const std::string& path) {
  const std::string d = testsupport::readFile(path);
  Wav w;
  auto u32 = [&](std::size_t at) { std::uint32_t v; std::memcpy(&v, d.data() + at, 4); return v; };
  auto u16 = [&](std::size_t at) { std::uint16_t v; std::memcpy(&v, d.data() + at, 2); return v; };
  if (d.size() < 12 || d.compare(0, 4, "RIFF") != 0 || d.compare(8, 4, "WAVE") != 0) return w;
  for (std::size_t at = 12; at + 8 <= d.size();) {
    const std::string id = d.substr(at, 4);
    const std::size_t size = std::min<std::size_t>(u32(at + 4), d.size() - at - 8);
    if (id == "fmt " && size >= 16) {
      w.format = u16(at + 8);
      w.channels = u16(at + 10);
      w.rate = static_cast<int>(u32(at + 12));
      w.bits = u16(at + 22);
    } else if (id == "data") {
      w.samples.resize(size / 2);
      std::memcpy(w.samples.data(), d.data() + at + 8, w.samples.size() * 2);
    }
    at += 8 + size + (size & 1);
  }
  return w;
}

}  // namespace

TEST(StreamPlayer, EveryFormatDecodesIntoAWavOfItsToneRateAndLength) {
  // Each station sends its eight-second tone file once and then holds the
  // line, so the WAV holds exactly what was encoded.
  const struct {
    const char* id;
    const char* file;
    const char* format;
    int rate, channels;
  } stations[] = {
      {"1311", "sine-128.mp3", "MP3", 44100, 1},
      {"1310", "sine-128.aac", "AAC", 44100, 2},  // labelled audio/aacp
      {"2104", "sine-64.aac", "AAC", 32000, 1},
      {"1410", "sine-128.ogg", "Ogg Vorbis", 44100, 2},
      {"1510", "sine-96.opus", "Ogg Opus", 48000, 2},
      {"3011", "sine-128.aac", "AAC", 44100, 2},  // says audio/mpeg
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

    const Wav wav = readWav(options.wavFile);
    EXPECT_EQ(wav.format, 1);
    EXPECT_EQ(wav.bits, 16);
    EXPECT_EQ(wav.rate, s.rate);
    EXPECT_EQ(wav.channels, s.channels);
    EXPECT_NEAR(wav.seconds(), 8.0, 8.0 * 0.05);
    EXPECT_NEAR(wav.tone(), 440.0, 440.0 * 0.02);
  }
}

TEST(StreamPlayer, TitlesInEitherCharsetAndABrokenStreamReportedBeforeTheNextPlays) {
  setlocale(LC_CTYPE, "C.UTF-8");  // the terminal's
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

  // The next station plays. Its titles are UTF-8 and move on at each new
  // logical Ogg stream.
  handler = player.play(streamOf(directory, "1410"));
  ASSERT_TRUE(waitFor([&] { return player.status().audioBytes > 0; }));
  EXPECT_TRUE(alive(player.status().decoderPid));
  EXPECT_EQ(player.status().problem, "");
  EXPECT_TRUE(waitFor([&] { return handler->getInfo(1) == "Antonín Dvořák - Largo"; }));
  EXPECT_TRUE(waitFor([&] { return handler->getInfo(1) == "Sigur Rós - Hoppípolla"; }));
  EXPECT_EQ(oruvel_host::fitText(handler->getInfo(1), 80), "Sigur Rós - Hoppípolla");

  // Latin-1 titles reach the plug-in as sent and the screen as UTF-8.
  handler = player.play(streamOf(directory, "1310"));
  ASSERT_TRUE(waitFor([&] { return handler->getInfo(1) == "Caf\xe9 Tacvba - Eres"; }));
  EXPECT_EQ(oruvel_host::fitText(handler->getInfo(1), 80), "Café Tacvba - Eres");
  ASSERT_TRUE(waitFor([&] { return handler->getInfo(1) == "Zo\xeb M\xfcller - \xc7" "a pla\xeet \xe0 No\xebl"; }));
  EXPECT_EQ(oruvel_host::fitText(handler->getInfo(1), 80), "Zoë Müller - Ça plaît à Noël");
  EXPECT_EQ(player.status().format, "AAC");
  player.stop();
  EXPECT_EQ(player.lastDecoderExit(), 0);

  // The decoders' log shows the formats and no decoding trouble but the
  // frame that stopping cut short.
  std::string log = testsupport::readFile(root.path() + "/decoder.log");
  const size_t cut = log.find("Packet corrupt");
  if (cut != std::string::npos) {
    EXPECT_EQ(log.find("Packet corrupt", cut + 1), std::string::npos) << log;
    log.erase(cut);
  }
  EXPECT_NE(log.find("Audio: vorbis, 44100 Hz, stereo"), std::string::npos) << log.substr(0, 2000);
  EXPECT_NE(log.find("Audio: aac (LC), 44100 Hz, stereo"), std::string::npos);
  for (const char* trouble : {"rror", "nvalid", "orrupt"})
    EXPECT_EQ(log.find(trouble), std::string::npos) << trouble << ": " << log.substr(log.find(trouble), 400);
}

TEST(StreamPlayer, MpegStreamDecodesEveryFrameAndAnswersTitleAndStation) {
  TempRoot root;
  StandIn directory({"--speed", "4", "--title-seconds", "1"});
  StreamPlayer player(decodeOnly(root, {"mpg123", "-t", "-v", "-"}));
  eServiceHandler* handler = player.play(streamOf(directory, "1001"));
  ASSERT_NE(handler, nullptr);
  ASSERT_TRUE(waitFor([&] { return !handler->getInfo(1).empty(); })) << player.status().problem;
  EXPECT_EQ(handler->getInfo(2), "Radio Kestrel Rock");
  const std::string first = handler->getInfo(1);
  EXPECT_TRUE(std::regex_match(first, std::regex("Artist [0-9]+ - Song [0-9]+"))) << first;
  // Titles move on while it plays; a good deal of audio reaches the decoder.
  EXPECT_TRUE(waitFor([&] { return handler->getInfo(1) != first; }));
  EXPECT_TRUE(waitFor([&] { return player.status().audioBytes > 96 * 1024; }));
  const pid_t decoder = player.status().decoderPid;
  EXPECT_TRUE(alive(decoder));
  player.stop();
  EXPECT_EQ(player.lastDecoderExit(), 0);
  EXPECT_FALSE(alive(decoder));
  EXPECT_EQ(player.status().decoderPid, -1);

  // The decoder saw MPEG frames only: no metadata or junk reached it.
  // Stopping cuts the last frame short: one end-of-input complaint at most.
  std::string log = testsupport::readFile(root.path() + "/decoder.log");
  EXPECT_NE(log.find("MPEG 1.0 L III"), std::string::npos) << log.substr(0, 2000);
  EXPECT_NE(log.find("Decoding of - finished"), std::string::npos);
  std::smatch frames;
  EXPECT_TRUE(std::regex_search(log, frames, std::regex("> 0*[1-9][0-9]{2,}\\+")));  // over 100 frames decoded
  const size_t cut = log.find("Error reading the stream");
  if (cut != std::string::npos) {
    EXPECT_EQ(log.find("Error reading the stream", cut + 1), std::string::npos);
    log.erase(log.rfind('\n', cut) == std::string::npos ? 0 : log.rfind('\n', cut));
  }
  for (const char* trouble : {"rror", "llegal", "arning", "junk", "resync"})
    EXPECT_EQ(log.find(trouble), std::string::npos) << trouble << ": " << log.substr(log.find(trouble), 400);
}

TEST(StreamPlayer, ReplacingStoppingLeavingOrFailingEndTheDecoderAndNothingElse) {
  TempRoot root;
  StandIn directory({"--speed", "4", "--title-seconds", "1"});
  pid_t second = -1;
  {
    StreamPlayer player(decodeOnly(root, {"mpg123", "-q", "-t", "-"}));
    player.play(streamOf(directory, "1001"));
    ASSERT_TRUE(waitFor([&] { return player.status().audioBytes > 0; }));
    const pid_t first = player.status().decoderPid;
    EXPECT_TRUE(alive(first));
    eServiceHandler* handler = player.play(streamOf(directory, "1201"));
    EXPECT_FALSE(alive(first));
    ASSERT_TRUE(waitFor([&] { return handler->getInfo(2) == "Smooth Harbour Jazz" && player.status().audioBytes > 0; }));
    second = player.status().decoderPid;
    EXPECT_TRUE(alive(second));

    // The TV service plays by name: no stream, no decoder, no title.
    handler = player.play(eServiceReference("1:0:1:1:1:1:0:0:0:0:"));
    EXPECT_FALSE(alive(second));
    EXPECT_EQ(handler->getInfo(1), "");
    EXPECT_EQ(handler->getInfo(2), "TV service 1:0:1:1:1:1:0:0:0:0:");
    EXPECT_FALSE(player.status().stream);
    EXPECT_EQ(player.status().decoderPid, -1);
    player.stop();  // nothing to stop: harmless

    player.play(streamOf(directory, "1001"));
    ASSERT_TRUE(waitFor([&] { return player.status().audioBytes > 0; }));
    second = player.status().decoderPid;
  }
  EXPECT_FALSE(alive(second));  // the player went, and its decoder with it

  StreamPlayer player(decodeOnly(root, {"mpg123", "-q", "-t", "-"}));
  // The stream answers 404: said why, ended, its decoder stopped on stop().
  player.play(streamOf(directory, "3001"));
  ASSERT_TRUE(waitFor([&] { return player.status().ended; }));
  EXPECT_FALSE(player.status().problem.empty());
  const auto started = std::chrono::steady_clock::now();
  player.stop();
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(4));

  // Nothing listens there at all.
  player.play(eServiceReference("4096:0:0:0:0:0:0:0:0:0:http://127.0.0.1:1/stream"));
  ASSERT_TRUE(waitFor([&] { return player.status().ended; }));
  EXPECT_FALSE(player.status().problem.empty());

  // Without a decoder the titles still come, and the player line says why
  // there is no sound.
  StreamPlayer silent(decodeOnly(root, {root.path() + "/no-such-decoder", "-"}));
  eServiceHandler* handler = silent.play(streamOf(directory, "1004"));
  ASSERT_TRUE(waitFor([&] { return !handler->getInfo(1).empty(); }));
  EXPECT_EQ(handler->getInfo(2), "Stadium Anthems HQ");
  EXPECT_EQ(silent.status().decoderPid, -1);
  EXPECT_NE(silent.status().problem.find("cannot start the decoder " + root.path() + "/no-such-decoder"),
            std::string::npos) << silent.status().problem;
  // A decoder that dies in the middle does not take the host with it, and
  // is reported.
  StreamPlayer dying(decodeOnly(root, {"head", "-c", "1000"}));
  handler = dying.play(streamOf(directory, "1001"));
  ASSERT_TRUE(waitFor([&] { return dying.status().audioBytes >= 1000; }));
  EXPECT_TRUE(waitFor([&] { return !handler->getInfo(1).empty(); }));
  EXPECT_TRUE(waitFor([&] { return dying.status().problem == "the decoder head stopped (exit status 0): it cannot play this stream; see the log"; }))
      << dying.status().problem;
  dying.stop();
  EXPECT_EQ(dying.lastDecoderExit(), 0);
}
