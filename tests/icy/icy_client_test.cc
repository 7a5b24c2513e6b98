#include "tools/icy/icy_client.h"

#include <gtest/gtest.h>

#include <thread>
#include <tuple>

#include "tests/lumoripper/ripper_harness.h"

TEST(IcyClient, StopFromAnotherThreadEndsTheRun) {
  testsupport::TempRoot root;
  rippertest::RadioServer server(root.path() + "/server");
  server.plan("live", R"({"metaint": 1000, "rate": 20000, "forever": true,
                          "headers": {"icy-name": "Live FM", "icy-br": "128"},
                          "segments": [["Now", 2000], ["Next", 1000]]})");
  icy::Client client;
  std::string audio;
  std::vector<std::string> titles;
  std::vector<icy::StreamInfo> headers;
  std::thread stopper;  // stops once 3000 bytes are in; a run that will not stop times out
  client.onAudio = [&](const char* d, std::size_t n) {
    const bool short_ = audio.size() <= 3000;
    if (audio.append(d, n).size() > 3000 && short_) stopper = std::thread([&] { client.stop(); });
  };
  client.onTitle = [&](const std::string& t) { titles.push_back(t); };
  client.onHeaders = [&](const icy::StreamInfo& i) { headers.push_back(i); };
  const icy::Result r = client.run(server.url("live"));
  if (stopper.joinable()) stopper.join();
  EXPECT_EQ(r.outcome, icy::Outcome::Stopped);
  ASSERT_EQ(headers.size(), 1u);
  EXPECT_EQ(std::tie(headers[0].name, headers[0].bitrate, headers[0].contentType),
            std::make_tuple("Live FM", 128, "audio/mpeg"));
  EXPECT_EQ(titles, (std::vector<std::string>{"Now", "Next"}));
  EXPECT_EQ(r.audioBytes, audio.size());
  EXPECT_GT(audio.size(), 3000u);
  EXPECT_EQ(audio, server.sent("live").substr(0, audio.size()));
}

TEST(IcyClient, TransferEndsMapToOutcomesAndMessages) {
  using O = icy::Outcome;
  // What the transfer saw: headers done, Audio came, Length announced,
  // Rejected by the reader, Malformed header block, Stop requested.
  enum : unsigned { H = 1, A = 2, L = 4, R = 8, M = 16, S = 32 };
  const struct {
    CURLcode code;
    int status;
    const char* type;
    unsigned saw;
    O outcome;
    std::string message;
  } rows[] = {
      {CURLE_ABORTED_BY_CALLBACK, 200, "audio/mpeg", H | A | S, O::Stopped, "stopped"},
      {CURLE_WRITE_ERROR, 0, "", R | M, O::BadResponse, "the server's answer has a broken header block"},
      {CURLE_OK, 200, "text/html", H | L, O::BadResponse, "the server sent a document (text/html), not an audio stream"},
      {CURLE_WRITE_ERROR, 404, "", H | R, O::HttpError, "the server answered \"ICY 404 Gone\""},
      {CURLE_OK, 200, "audio/mpeg", H | A | L, O::Complete, "stream complete"},
      {CURLE_OK, 0, "", H | A, O::Closed, "server closed the stream"},
      {CURLE_OK, 0, "", M, O::BadResponse, "the server's answer ended inside its header block"},
      {CURLE_URL_MALFORMAT, 0, "", 0, O::BadUrl, "why"}, {CURLE_UNSUPPORTED_PROTOCOL, 0, "", 0, O::BadUrl, "why"},
      {CURLE_TOO_MANY_REDIRECTS, 301, "", 0, O::TooManyRedirects, "why"},
      {CURLE_COULDNT_CONNECT, 0, "", 0, O::ConnectFailed, "why"}, {CURLE_OPERATION_TIMEDOUT, 0, "", 0, O::ConnectFailed, "why"},
      {CURLE_OPERATION_TIMEDOUT, 0, "", A, O::Stalled, "stream stalled (why)"},
      {CURLE_OPERATION_TIMEDOUT, 200, "", H, O::Stalled, "stream stalled (why)"},
      {CURLE_RECV_ERROR, 200, "", H | A, O::Dropped, "connection dropped (why)"},
      {CURLE_PARTIAL_FILE, 0, "", 0, O::ConnectFailed, "why"}, {CURLE_OUT_OF_MEMORY, 200, "", H | A, O::Failed, "why"},
  };
  for (const auto& row : rows) {
    const auto saw = [&row](unsigned bit) { return (row.saw & bit) != 0; };
    const icy::TransferEnd end{row.code, "why", saw(S), saw(R), saw(M), saw(H), saw(L), saw(A) ? 42u : 0u,
                               icy::StreamInfo{row.status, "ICY " + std::to_string(row.status) + " Gone", "", "", row.type}};
    const icy::Result r = icy::outcomeOf(end);
    EXPECT_EQ(std::tie(r.outcome, r.message, r.status, r.audioBytes),
              std::make_tuple(row.outcome, row.message, row.status, end.audioBytes)) << row.message;
  }
  // Documents of every kind are refused; audio, however labelled, is not.
  const auto outcomeFor = [](const char* type) {
    return icy::outcomeOf({CURLE_OK, "", false, false, false, true, true, 42u, icy::StreamInfo{200, "", "", "", type}})
        .outcome;
  };
  for (const char* type : {"Application/JSON; charset=utf-8", "application/rss+xml", "text/plain", "application/xml"})
    EXPECT_EQ(outcomeFor(type), O::BadResponse) << type;
  for (const char* type : {"audio/aacp", "application/ogg", "application/octet-stream"})
    EXPECT_EQ(outcomeFor(type), O::Complete) << type;
  icy::TransferEnd bare;  // without the transport's words, the outcome's own
  bare.code = CURLE_OUT_OF_MEMORY;
  EXPECT_EQ(icy::outcomeOf(bare).message, "transfer failed");
}
