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

TEST(IcyClient, EachWayAConnectionEndsIsToldApart) {
  testsupport::TempRoot root;
  RadioServer server(root.path() + "/server");
  server.plan("short", R"({"status_line": "ICY 200 OK", "metaint": 100, "segments": [["T", 250]]})");
  server.plan("gone", R"({"status_line": "HTTP/1.0 404 Not Found"})");
  server.plan("quiet", R"({"segments": [["T", 500]], "stalls": [200]})");

  icy::Client client(icy::ClientOptions{5, 1, 5, "test"});
  Collected got;
  collect(client, got);
  icy::Result closed = client.run(server.url("short"));
  EXPECT_EQ(closed.outcome, icy::Outcome::Closed) << closed.message;
  EXPECT_EQ(got.audio, server.sent("short"));
  EXPECT_EQ(got.titles, std::vector<std::string>{"T"});
  EXPECT_EQ(got.headers.at(0).statusLine, "ICY 200 OK");

  got = {};
  icy::Result gone = client.run(server.url("gone"));
  EXPECT_EQ(gone.outcome, icy::Outcome::HttpError);
  EXPECT_EQ(gone.status, 404);
  EXPECT_TRUE(got.headers.empty());  // a refusal is not a stream
  EXPECT_TRUE(got.audio.empty());

  icy::Result stalled = client.run(server.url("quiet"));
  EXPECT_EQ(stalled.outcome, icy::Outcome::Stalled) << stalled.message;
  EXPECT_EQ(stalled.audioBytes, 200u);

  EXPECT_EQ(client.run("http://127.0.0.1:1/").outcome, icy::Outcome::ConnectFailed);
  EXPECT_EQ(client.run("ftp://127.0.0.1/x").outcome, icy::Outcome::BadUrl);
}

}  // namespace
