#pragma once
// Fetches one internet-radio stream over http or https (libcurl underneath)
// and hands it through an icy::Parser: audio without the metadata blocks,
// the stream titles and the station's headers. One run() is one connection;
// reconnecting is the caller's choice (see icy_reconnect.h).
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "base/version.h"
#include "tools/icy/icy_parser.h"

namespace icy {

// How one connection ended.
enum class Outcome {
  Complete,       // a body of announced length arrived in full
  Closed,         // the server closed a live stream
  Dropped,        // the connection broke in the middle of the stream
  Stalled,        // no bytes for the stall time
  Stopped,        // stop() was called
  HttpError,      // the server answered with a status other than 2xx
  ConnectFailed,  // no answer: host unknown, refused, time-out
  BadResponse,    // not a stream: broken header block
  BadUrl,         // a URL that is not http or https, or malformed
  TooManyRedirects,
  Failed,         // anything else
};

// A short English phrase for an outcome ("connection refused" style).
const char* describe(Outcome outcome);

struct Result {
  Outcome outcome = Outcome::Failed;
  int status = 0;               // status of the last response; 0 when none
  std::string message;          // why, in words, for the user
  std::uint64_t audioBytes = 0; // audio bytes handed to onAudio
};

struct ClientOptions {
  long connectTimeoutSeconds = 15;
  long stallSeconds = 20;  // no byte for this long counts as a stall
  long maxRedirects = 5;
  std::string userAgent = "Oruvel/" ORUVEL_VERSION;
};

class Client {
 public:
  explicit Client(ClientOptions options = {});
  Client(const Client&) = delete;
  Client& operator=(const Client&) = delete;

  std::function<void(const StreamInfo&)> onHeaders;       // final response's headers
  std::function<void(const char*, std::size_t)> onAudio;  // audio bytes in order
  std::function<void(const std::string&)> onTitle;        // a new stream title
  std::function<void()> onTick;                           // often, at least once a second

  // Connects and reads until the stream ends, fails or stop() is called.
  Result run(const std::string& url);
  // Ends a running (or the next) run() promptly. Safe from another thread
  // and from a signal handler.
  void stop() { stop_.store(true); }
  bool stopRequested() const { return stop_.load(); }

 private:
  ClientOptions options_;
  std::atomic<bool> stop_{false};
  static_assert(std::atomic<bool>::is_always_lock_free, "stop() must be signal-safe");
};

}  // namespace icy
