#pragma once
// Fetches one internet-radio stream over http or https (libcurl underneath)
// and hands back the audio without the metadata blocks, the stream titles and
// the station's headers. One run() is one connection; reconnecting is the
// caller's choice (see icy_reconnect.h).
#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "base/version.h"
#include "tools/icy/metadata_demux.h"
#include "tools/icy/response_headers.h"
#include "tools/icy/transfer_outcome.h"

namespace icy {

// One response as it arrives, free of any transport: its headers, then its
// body split into audio and metadata, then each new title.
class Response {
 public:
  Response() = default;
  // The demultiplexer's callbacks point back at this object.
  Response(const Response&) = delete;
  Response& operator=(const Response&) = delete;

  std::function<void(const StreamInfo&)> onHeaders;       // once, before any audio
  std::function<void(const char*, std::size_t)> onAudio;  // audio bytes in order
  std::function<void(const std::string&)> onTitle;        // each new StreamTitle

  void headerLine(std::string_view line) { headers_.line(line); }
  // Body bytes, in chunks of any size.
  void feed(const char* data, std::size_t len);
  // The transport has no more bytes: headers still pending are reported.
  void finish();

  const StreamInfo& info() const { return headers_.info(); }
  bool headersDone() const { return headers_.done(); }
  bool malformed() const { return headers_.malformed(); }

 private:
  void startBody();

  ResponseHeaders headers_;
  std::optional<MetadataDemux> demux_;
  std::string title_;
};

struct ClientOptions {
  long connectTimeoutSeconds = 15;
  long stallSeconds = 20;  // no byte for this long counts as a stall
  // Audio awaited: the first audio bytes within firstAudioSeconds of the
  // start, each later gap under audioStallSeconds; 0: only the byte stall.
  long firstAudioSeconds = 0;
  long audioStallSeconds = 0;
  long maxRedirects = 5;
  std::string userAgent = "Oruvel/" ORUVEL_VERSION;
  // Bytes asked of each socket read: large reads mean few system calls and
  // few callbacks per megabyte.
  long receiveBufferBytes = 128 * 1024;
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
  const ClientOptions& options() const { return options_; }

 private:
  ClientOptions options_;
  std::atomic<bool> stop_{false};
  static_assert(std::atomic<bool>::is_always_lock_free, "stop() must be signal-safe");
};

}  // namespace icy
