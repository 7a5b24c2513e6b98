// The ICY response read by its three parts joined: for any response, what
// is handed back does not depend on how the bytes were cut into chunks, the
// audio is never more than the body, the headers come once and first, and
// the title reader takes any metadata block.
#include "tests/fuzz/fuzz_support.h"
#include "tools/icy/icy_client.h"
#include "tools/icy/stream_title.h"

namespace {

// A text that two joined texts cannot be mistaken for.
std::string field(const std::string& t) { return std::to_string(t.size()) + ":" + t; }

// What one reader hands back (audio, titles, headers and the end), the body
// fed in chunks from `seed`: 0 all at once, 1 a byte at a time, else pseudo-random.
std::string parse(std::string_view headers, std::string_view body, std::uint32_t seed) {
  icy::Response p;
  std::string audio, titles, info;
  p.onHeaders = [&](const icy::StreamInfo& i) {
    FUZZ_CHECK(info.empty() && i.metaint >= 0);
    info = std::to_string(i.status) + " " + std::to_string(i.metaint) + field(i.name) + field(i.contentType);
  };
  p.onAudio = [&](const char* d, std::size_t n) { FUZZ_CHECK(!info.empty()); audio.append(d, n); };
  p.onTitle = [&](const std::string& t) { titles += field(t); };
  for (std::size_t nl = 0; !headers.empty(); headers = nl == std::string_view::npos ? "" : headers.substr(nl + 1))
    p.headerLine(headers.substr(0, nl = headers.find('\n')));
  for (std::size_t off = 0, n; off < body.size(); off += n) {
    seed = seed > 1 ? seed * 1103515245u + 12345u : seed;
    n = seed == 0 ? body.size() - off : seed == 1 ? 1 : std::min<std::size_t>(body.size() - off, 1 + (seed >> 16) % 37);
    p.feed(body.data() + off, n);
  }
  p.finish();
  FUZZ_CHECK(audio.size() <= body.size());
  return field(audio) + field(titles) + info + (p.malformed() ? " malformed" : "");
}

}  // namespace

FUZZ_TARGET(in) {
  // Odd first byte: the response headers came from the transport, up to the
  // first blank line; even: the body carries everything.
  const bool split = in.choice & 1;
  const std::size_t end = split ? in.text.find("\n\n") : 0;
  const std::string_view headers = in.text.substr(0, end);
  const std::string_view body = end == std::string_view::npos ? std::string_view() : in.text.substr(split ? end + 2 : 0);
  const std::string whole = parse(headers, body, 0);
  FUZZ_CHECK(parse(headers, body, 2u + in.choice) == whole && parse(headers, body, 1) == whole);
  FUZZ_CHECK(icy::streamTitleOf(in.text).value_or("").size() <= in.text.size());  // any text as one metadata block
}
