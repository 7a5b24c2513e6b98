#include "tools/icy/icy_client.h"

#include <gtest/gtest.h>

#include "tests/lumoripper/ripper_harness.h"

TEST(IcyClient, StopFromAnotherThreadEndsTheRunPromptly) {
  testsupport::TempRoot root;
  rippertest::RadioServer server(root.path() + "/server");
  server.plan("live", R"({"metaint": 1000, "rate": 20000, "forever": true,
                          "headers": {"icy-name": "Live FM", "icy-br": "128"},
                          "segments": [["Now", 2000], ["Next", 1000]]})");
  icy::Client client;
  std::string audio;
  std::vector<std::string> titles;
  std::vector<icy::StreamInfo> headers;
  client.onAudio = [&](const char* d, std::size_t n) { audio.append(d, n); };
  client.onTitle = [&](const std::string& t) { titles.push_back(t); };
  client.onHeaders = [&](const icy::StreamInfo& i) { headers.push_back(i); };
  std::thread stopper([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    client.stop();
  });
  const auto start = std::chrono::steady_clock::now();
  const icy::Result r = client.run(server.url("live"));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  stopper.join();
  EXPECT_EQ(r.outcome, icy::Outcome::Stopped);
  ASSERT_EQ(headers.size(), 1u);
  EXPECT_EQ(headers[0].name, "Live FM");
  EXPECT_EQ(headers[0].bitrate, 128);
  EXPECT_EQ(headers[0].contentType, "audio/mpeg");
  EXPECT_EQ(titles, (std::vector<std::string>{"Now", "Next"}));
  EXPECT_EQ(r.audioBytes, audio.size());
  EXPECT_GT(audio.size(), 3000u);
  EXPECT_EQ(audio, server.sent("live").substr(0, audio.size()));
}
