#include "tools/icy/icy_client.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "tests/lumoripper/ripper_harness.h"
#include "tests/support/temp_root.h"

using rippertest::RadioServer;

namespace {

struct Collected {
  std::string audio;
  std::vector<std::string> titles;
  std::vector<icy::StreamInfo> headers;
};

void collect(icy::Client& c, Collected& got) {
  c.onAudio = [&got](const char* d, std::size_t n) { got.audio.append(d, n); };
  c.onTitle = [&got](const std::string& t) { got.titles.push_back(t); };
  c.onHeaders = [&got](const icy::StreamInfo& i) { got.headers.push_back(i); };
}

TEST(IcyClient, StopFromAnotherThreadEndsTheRunPromptly) {
  testsupport::TempRoot root;
  RadioServer server(root.path() + "/server");
  server.plan("live", R"({"metaint": 1000, "rate": 20000, "forever": true,
                          "headers": {"icy-name": "Live FM", "icy-br": "128"},
                          "segments": [["Now", 2000], ["Next", 1000]]})");
  icy::Client client;
  Collected got;
  collect(client, got);
  std::thread stopper([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    client.stop();
  });
  auto start = std::chrono::steady_clock::now();
  icy::Result r = client.run(server.url("live"));
  double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  stopper.join();
  EXPECT_EQ(r.outcome, icy::Outcome::Stopped);
  EXPECT_LT(took, 2.0);
  ASSERT_EQ(got.headers.size(), 1u);
  EXPECT_EQ(got.headers[0].name, "Live FM");
  EXPECT_EQ(got.headers[0].bitrate, 128);
  EXPECT_EQ(got.headers[0].contentType, "audio/mpeg");
  EXPECT_EQ(got.titles, (std::vector<std::string>{"Now", "Next"}));
  EXPECT_EQ(r.audioBytes, got.audio.size());
  EXPECT_EQ(got.audio, server.sent("live").substr(0, got.audio.size()));
  EXPECT_GT(got.audio.size(), 3000u);
}

}  // namespace
