#pragma once
// The ICY side of an internet-radio stream, free of any transport: feed it
// the response header lines (when the transport parsed them) and the body
// bytes, in chunks of any size, and it hands back the audio without the
// in-band metadata blocks, the stream titles and the station's headers.
#include <cstddef>
#include <functional>
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

class Parser {
 public:
  // Longest in-body header block accepted before it counts as junk.
  static constexpr std::size_t kMaxHeaderBlock = 16 * 1024;

  std::function<void(const StreamInfo&)> onHeaders;        // once, before any audio
  std::function<void(const char*, std::size_t)> onAudio;   // audio bytes in order
  std::function<void(const std::string&)> onTitle;         // each new StreamTitle

  Parser() = default;
  Parser(const Parser&) = delete;
  Parser& operator=(const Parser&) = delete;

  // One header line as the transport received it (CRLF may be included).
  // A status line starts a new header set (a redirect's headers are
  // replaced by the next response's).
  void headerLine(std::string_view line);
  // Body bytes. A body that starts with "ICY " carries its own header
  // block first (a server answering in the old ICY form).
  void feed(const char* data, std::size_t len);
  // The transport has no more bytes: headers still pending are reported.
  void finish();

  const StreamInfo& info() const { return info_; }
  bool headersDone() const {
    return state_ != State::Start && state_ != State::InBodyHeaders && state_ != State::Broken;
  }
  // The in-body header block was broken or too long; the transport should give up.
  bool malformed() const { return malformed_; }
  const std::string& title() const { return title_; }

 private:
  enum class State { Start, InBodyHeaders, Audio, MetaLength, Meta, Broken };

  void headerField(std::string_view line);
  void finishHeaders();
  void feedBody(const char* data, std::size_t len);
  void inBodyHeaders(const char*& data, std::size_t& len);
  void metadataBlock(std::string_view block);

  StreamInfo info_;
  bool sawStatusLine_ = false;
  bool malformed_ = false;
  State state_ = State::Start;
  std::string pending_;         // in-body header bytes, metadata bytes
  long untilMeta_ = 0;          // audio bytes before the next length byte
  std::size_t metaLeft_ = 0;    // metadata bytes still to come
  std::string title_;
};

// The StreamTitle value of one metadata block ("" when absent). The value
// may itself hold quotes and semicolons; it ends at the "';" that is
// followed by the block's end or by the next key.
std::string streamTitleOf(std::string_view block);

}  // namespace icy
