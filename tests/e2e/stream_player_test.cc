// The desktop host's real player against the stand-in directory: audio
// reaches the decoder and decodes cleanly, titles and the station's name
// answer the info queries, and no decoder outlives its stream.
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <regex>
#include <thread>

#include <gtest/gtest.h>

#include "tests/support/host_run.h"
#include "tests/support/temp_root.h"
#include "tools/oruvel-host/stream_player.h"

using oruvel_host::StreamPlayer;
using testsupport::StandIn;
using testsupport::TempRoot;

namespace {

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
  o.decoder = decoder.empty() ? std::vector<std::string>{"mpg123", "-t", "-v", "-"} : decoder;
  o.decoderLog = root.path() + "/decoder.log";
  return o;
}

}  // namespace

TEST(StreamPlayer, DecodesEveryFrameAndAnswersTitleAndStation) {
  TempRoot root;
  StandIn directory({"--speed", "4", "--title-seconds", "1"});
  StreamPlayer player(decodeOnly(root));
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
    ASSERT_TRUE(waitFor([&] { return handler->getInfo(2) == "Smooth Harbour Jazz"; }));
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

  // Without a decoder the titles still come: the LCD works on any machine.
  StreamPlayer silent(decodeOnly(root, {root.path() + "/no-such-decoder", "-"}));
  eServiceHandler* handler = silent.play(streamOf(directory, "1004"));
  EXPECT_EQ(silent.status().decoderPid, -1);
  ASSERT_TRUE(waitFor([&] { return !handler->getInfo(1).empty(); }));
  EXPECT_EQ(handler->getInfo(2), "Stadium Anthems HQ");
  // A decoder that dies in the middle does not take the host with it.
  StreamPlayer dying(decodeOnly(root, {"head", "-c", "1000"}));
  handler = dying.play(streamOf(directory, "1001"));
  ASSERT_TRUE(waitFor([&] { return dying.status().audioBytes >= 1000; }));
  EXPECT_TRUE(waitFor([&] { return !handler->getInfo(1).empty(); }));
  dying.stop();
  EXPECT_EQ(dying.lastDecoderExit(), 0);
}
