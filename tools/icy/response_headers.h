#pragma once
// The response headers of a stream, from the transport's header lines or,
// when a server answers in the old "ICY 200 OK" form that the transport takes
// for a bare body, from a header block at the start of the body.
#include <cstddef>
#include <string>
#include <string_view>

namespace icy {

// What the response headers said about the stream.
struct StreamInfo {
  int status = 0;              // 200, 404, ...; 0 while unknown
  std::string statusLine;      // "ICY 200 OK", "HTTP/1.0 200 OK"
  std::string name;            // icy-name
  std::string genre;           // icy-genre
  std::string contentType;     // content-type, lower case, parameters dropped
  long metaint = 0;            // icy-metaint; 0: no in-band metadata
  int bitrate = 0;             // icy-br in kbit/s; 0 when not given
};

class ResponseHeaders {
 public:
  // Longest in-body header block accepted before it counts as junk.
  static constexpr std::size_t kMaxHeaderBlock = 16 * 1024;

  // One header line as the transport received it (CRLF may be included).
  // A status line starts a new header set, so a redirect's headers give way
  // to the next response's.
  void line(std::string_view line);
  // Body bytes while !done(): returns how many belong to the headers (or are
  // held to tell whether the body starts with a status line of its own).
  std::size_t feed(const char* data, std::size_t len);
  // The body ended: a start too short to tell is body; a header block left
  // open is malformed.
  void finish();
  // Held bytes that proved to be the body's start; they go before the rest.
  std::string takeBodyStart();

  const StreamInfo& info() const { return info_; }
  bool done() const { return state_ == State::Done; }
  // The in-body header block was broken or too long; nothing after it is audio.
  bool malformed() const { return state_ == State::Broken; }

 private:
  enum class State { Start, InBody, Done, Broken };

  void field(std::string_view line);
  void blockEnded();

  StreamInfo info_;
  bool sawStatusLine_ = false;
  State state_ = State::Start;
  std::string held_;  // the sniffed start, then the in-body header block
};

}  // namespace icy
