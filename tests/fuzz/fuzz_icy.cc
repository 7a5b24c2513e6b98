// The ICY response read by its three parts joined: for any response, the
// audio and titles handed back do not depend on how the bytes were cut into chunks,
// the audio is never more than the body, the headers come once and first,
// and the title reader takes any metadata block.
#include <algorithm>

#include "tests/fuzz/fuzz_support.h"
#include "tools/icy/icy_client.h"
#include "tools/icy/stream_title.h"

namespace {

// A text that two joined texts cannot be mistaken for.
std::string field(const std::string& t) { return std::to_string(t.size()) + ":" + t; }

struct Seen {
  std::string audio, titles, headers;  // headers: what the stream info and the end said
};

// One reader over the response; chunk sizes come from `seed` (0: the whole
// body in one call, 1: one byte a call, else pseudo-random).
Seen parse(std::string_view headers, std::string_view body, std::uint32_t seed) {
  icy::Response p;
  Seen s;
  int headerCalls = 0;
  p.onHeaders = [&](const icy::StreamInfo& info) {
    FUZZ_CHECK(++headerCalls == 1 && info.metaint >= 0);
    s.headers = std::to_string(info.status) + " " + std::to_string(info.metaint) + field(info.name) +
                field(info.contentType);
  };
  p.onAudio = [&](const char* d, std::size_t n) {
    FUZZ_CHECK(headerCalls == 1);
    s.audio.append(d, n);
  };
  p.onTitle = [&](const std::string& t) { s.titles += field(t); };
  while (!headers.empty()) {
    const std::size_t nl = headers.find('\n');
    p.headerLine(headers.substr(0, nl));
    headers = nl == std::string_view::npos ? std::string_view() : headers.substr(nl + 1);
  }
  for (std::size_t off = 0, n; off < body.size(); off += n) {
    n = seed == 0 ? body.size() - off : 1;
    if (seed > 1) {
      seed = seed * 1103515245u + 12345u;
      n = std::min<std::size_t>(body.size() - off, 1 + (seed >> 16) % 37);
    }
    p.feed(body.data() + off, n);
  }
  p.finish();
  s.headers += p.malformed() ? " malformed" : "";
  FUZZ_CHECK(s.audio.size() <= body.size());
  return s;
}

}  // namespace

FUZZ_TARGET(in) {
  // Odd first byte: the response headers came from the transport, up to the
  // first blank line; even: the body carries everything.
  std::string_view headers, body = in.text;
  if (in.choice & 1) {
    const std::size_t end = body.find("\n\n");
    headers = body.substr(0, end);
    body = end == std::string_view::npos ? std::string_view() : body.substr(end + 2);
  }
  const Seen whole = parse(headers, body, 0), cut = parse(headers, body, 2u + in.choice);
  const Seen bytes = parse(headers, body, 1);
  FUZZ_CHECK(whole.audio == cut.audio && whole.titles == cut.titles && whole.headers == cut.headers);
  FUZZ_CHECK(bytes.audio == whole.audio && bytes.titles == whole.titles);
  // Any text as one metadata block.
  FUZZ_CHECK(icy::streamTitleOf(in.text).value_or("").size() <= in.text.size());
}
