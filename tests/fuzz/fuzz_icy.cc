// The ICY response and metadata parser: for any response, the audio and
// titles handed back do not depend on how the bytes were cut into chunks,
// the audio is never more than the body, the headers come once and first,
// and the title reader takes any metadata block.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tests/fuzz/fuzz_support.h"
#include "tools/icy/icy_parser.h"

namespace {

struct Seen {
  std::string audio;
  std::vector<std::string> titles;
  int headerCalls = 0;
  bool audioBeforeHeaders = false;
  icy::StreamInfo info;
  bool malformed = false;
};

// Runs one parser over the response; chunk sizes come from `seed`
// (0: the whole body in one call, 1: one byte a call).
Seen parse(std::string_view headers, std::string_view body, std::uint32_t seed) {
  icy::Parser p;
  Seen s;
  p.onHeaders = [&](const icy::StreamInfo& info) {
    ++s.headerCalls;
    s.info = info;
  };
  p.onAudio = [&](const char* d, std::size_t n) {
    if (s.headerCalls == 0) s.audioBeforeHeaders = true;
    s.audio.append(d, n);
  };
  p.onTitle = [&](const std::string& t) { s.titles.push_back(t); };
  while (!headers.empty()) {
    std::size_t nl = headers.find('\n');
    p.headerLine(headers.substr(0, nl));
    headers = nl == std::string_view::npos ? std::string_view() : headers.substr(nl + 1);
  }
  std::size_t off = 0;
  while (off < body.size()) {
    std::size_t n = body.size() - off;
    if (seed == 1) {
      n = 1;
    } else if (seed != 0) {
      seed = seed * 1103515245u + 12345u;
      n = std::min<std::size_t>(n, 1 + (seed >> 16) % 37);
    }
    p.feed(body.data() + off, n);
    off += n;
  }
  p.finish();
  s.malformed = p.malformed();
  return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzsupport::Split in = fuzzsupport::splitFirst(data, size);
  // Odd first byte: the response headers came from the transport, up to the
  // first blank line; even: the body carries everything.
  std::string_view headers, body = in.text;
  if (in.choice & 1) {
    std::size_t end = body.find("\n\n");
    headers = body.substr(0, end);
    body = end == std::string_view::npos ? std::string_view() : body.substr(end + 2);
  }
  Seen whole = parse(headers, body, 0);
  Seen cut = parse(headers, body, 2u + in.choice);
  Seen bytes = parse(headers, body, 1);
  for (const Seen* s : {&whole, &cut, &bytes}) {
    FUZZ_CHECK(s->headerCalls <= 1);
    FUZZ_CHECK(!s->audioBeforeHeaders);
    FUZZ_CHECK(s->audio.size() <= body.size());
    FUZZ_CHECK(s->info.metaint >= 0);
  }
  FUZZ_CHECK(whole.audio == cut.audio);
  FUZZ_CHECK(whole.titles == cut.titles);
  FUZZ_CHECK(whole.headerCalls == cut.headerCalls);
  FUZZ_CHECK(whole.malformed == cut.malformed);
  FUZZ_CHECK(whole.info.status == cut.info.status && whole.info.metaint == cut.info.metaint);
  FUZZ_CHECK(whole.info.name == cut.info.name && whole.info.contentType == cut.info.contentType);
  FUZZ_CHECK(bytes.audio == whole.audio && bytes.titles == whole.titles);

  // Any text as one metadata block.
  std::string title = icy::streamTitleOf(in.text);
  FUZZ_CHECK(title.size() <= in.text.size());
  return 0;
}
