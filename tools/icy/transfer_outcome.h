#pragma once
// How one connection ended, told from what the transport reported and what
// the response showed; kept apart from the transport so every ending can be
// checked without a network.
#include <curl/curl.h>

#include <cstdint>
#include <string>

#include "tools/icy/response_headers.h"

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
  BadResponse,    // not a stream: broken header block, or a document (text, HTML, JSON, XML)
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
  // What the words for a listener are made of (listener_text.h).
  CURLcode code = CURLE_OK;     // the transport's ending
  int osErrno = 0;              // the system's error when connecting failed
  std::string statusLine;       // the last response's status line
  std::string contentType;      // and its content type
};

// What one finished transfer left behind.
struct TransferEnd {
  CURLcode code = CURLE_OK;
  std::string curlText;          // the transport's own words for code
  bool stopRequested = false;
  bool rejected = false;         // the reader ended it: refused status or broken header block
  bool malformed = false;        // the in-body header block was broken or left open
  bool headersDone = false;      // the body had begun
  bool lengthKnown = false;      // the server announced the body's length
  std::uint64_t audioBytes = 0;
  StreamInfo info;               // the final response's headers
  bool audioStalled = false;     // the reader ended it: no audio in time
  long audioStallSeconds = 0;    // the time it waited
  int osErrno = 0;               // the system's error when connecting failed
};

// A 2xx answer, or none at all (a bare body).
bool successful(const StreamInfo& info);
// A success that is a page, not a stream, is refused like an error.
bool acceptable(const StreamInfo& info);

// The outcome and the user's message for one transfer.
Result outcomeOf(const TransferEnd& end);

}  // namespace icy
