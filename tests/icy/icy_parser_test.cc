#include "tools/icy/icy_parser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Everything a parser handed back, in one comparable record.
struct Seen {
  std::string audio;
  std::vector<std::string> titles;
  int headerCalls = 0;
  icy::StreamInfo info;
  bool titleBeforeHeaders = false;
};

void wire(icy::Parser& p, Seen& s) {
  p.onHeaders = [&s](const icy::StreamInfo& i) {
    ++s.headerCalls;
    s.info = i;
  };
  p.onAudio = [&s](const char* d, std::size_t n) {
    if (s.headerCalls == 0) s.titleBeforeHeaders = true;
    s.audio.append(d, n);
  };
  p.onTitle = [&s](const std::string& t) { s.titles.push_back(t); };
}

std::string metaBlock(const std::string& text) {
  std::size_t blocks = (text.size() + 15) / 16;
  std::string b(1, static_cast<char>(blocks));
  b += text;
  b.append(blocks * 16 - text.size(), '\0');
  return b;
}

std::string audioOf(std::size_t from, std::size_t n) {
  std::string a;
  for (std::size_t i = from; i < from + n; ++i) a += static_cast<char>((i * 131 + (i >> 7)) & 0xFF);
  return a;
}

// A body with metaint 16: audio, a title, audio, an empty block, audio,
// a second title, audio.
std::string framedBody(std::string& audio) {
  audio = audioOf(0, 64);
  return audio.substr(0, 16) + metaBlock("StreamTitle='One';") + audio.substr(16, 16) +
         std::string(1, '\0') + audio.substr(32, 16) +
         metaBlock("StreamTitle='Two - B';StreamUrl='http://x/';") + audio.substr(48, 16);
}

Seen parse(const std::vector<std::string>& headerLines, const std::string& body, std::size_t chunk) {
  icy::Parser p;
  Seen s;
  wire(p, s);
  for (const auto& l : headerLines) p.headerLine(l);
  for (std::size_t i = 0; i < body.size(); i += chunk)
    p.feed(body.data() + i, std::min(chunk, body.size() - i));
  p.finish();
  return s;
}

const std::vector<std::string> kHttpHeaders = {
    "HTTP/1.0 200 OK\r\n", "Content-Type: Audio/MPEG; charset=x\r\n", "icy-name: Test FM\r\n",
    "icy-genre: Rock\r\n", "icy-br: 128,128\r\n", "ICY-METAINT: 16\r\n", "\r\n"};

TEST(IcyParser, HeaderLinesFrameAudioAndTitlesWhateverTheChunking) {
  std::string audio;
  std::string body = framedBody(audio);
  for (std::size_t chunk : {std::size_t(1), std::size_t(3), std::size_t(17), body.size()}) {
    SCOPED_TRACE(chunk);
    Seen s = parse(kHttpHeaders, body, chunk);
    EXPECT_EQ(s.audio, audio);
    EXPECT_EQ(s.titles, (std::vector<std::string>{"One", "Two - B"}));
    EXPECT_EQ(s.headerCalls, 1);
    EXPECT_EQ(s.info.status, 200);
    EXPECT_EQ(s.info.name, "Test FM");
    EXPECT_EQ(s.info.genre, "Rock");
    EXPECT_EQ(s.info.contentType, "audio/mpeg");
    EXPECT_EQ(s.info.metaint, 16);
    EXPECT_EQ(s.info.bitrate, 128);
  }
  // A redirect's headers are replaced by the final response's.
  Seen r = parse({"HTTP/1.1 302 Found", "icy-name: Wrong", "icy-metaint: 99", "", "HTTP/1.0 200 OK",
                  "icy-name: Right", ""}, "abc", 10);
  EXPECT_EQ(r.info.name, "Right");
  EXPECT_EQ(r.info.metaint, 0);
  EXPECT_EQ(r.audio, "abc");
}

TEST(IcyParser, InBodyIcyHeaderBlockIsReadFirst) {
  std::string audio;
  std::string framed = framedBody(audio);
  for (const char* end : {"\r\n\r\n", "\n\n"}) {
    std::string block = std::string("ICY 200 OK\r\nicy-name:Old Style\r\nicy-metaint:16\r\ncontent-type:audio/aacp") + end;
    for (std::size_t chunk : {std::size_t(1), std::size_t(2), std::size_t(1000)}) {
      SCOPED_TRACE(chunk);
      Seen s = parse({}, block + framed, chunk);
      EXPECT_EQ(s.info.statusLine, "ICY 200 OK");
      EXPECT_EQ(s.info.status, 200);
      EXPECT_EQ(s.info.name, "Old Style");
      EXPECT_EQ(s.info.contentType, "audio/aacp");
      EXPECT_EQ(s.audio, audio);
      EXPECT_EQ(s.titles.size(), 2u);
      EXPECT_FALSE(s.titleBeforeHeaders);
    }
  }
}

TEST(IcyParser, BodyWithoutStatusLineOrMetaintIsAllAudio) {
  // Headers known from the transport, no metaint: nothing is taken out,
  // even bytes that look like a metadata block.
  std::string body = audioOf(0, 40) + metaBlock("StreamTitle='X';");
  Seen s = parse({"HTTP/1.1 200 OK", "Content-Type: audio/mpeg", ""}, body, 7);
  EXPECT_EQ(s.audio, body);
  EXPECT_TRUE(s.titles.empty());

  // A bare body (no headers at all) that merely starts like "IC" is audio.
  for (std::string bare : {std::string("IC"), std::string("ICE cold audio"), std::string("\xff\xfb\x90")}) {
    Seen b = parse({}, bare, 1);
    EXPECT_EQ(b.audio, bare);
    EXPECT_EQ(b.headerCalls, 1);
  }
}

TEST(IcyParser, RepeatedAndOddTitles) {
  std::string a = audioOf(0, 8);
  auto body = [&](std::initializer_list<std::string> metas) {
    std::string b;
    for (const auto& m : metas) b += a + m;
    return b + a;
  };
  std::vector<std::string> hdr = {"HTTP/1.0 200 OK", "icy-metaint: 8", ""};
  // The same title again is no change; a title with quotes and semicolons
  // is kept whole; a block without StreamTitle changes nothing.
  Seen s = parse(hdr,
                 body({metaBlock("StreamTitle='A';"), metaBlock("StreamTitle='A';"),
                       metaBlock("StreamTitle='Rock 'n' Roll; Pt. 2';StreamUrl='u';"),
                       metaBlock("StreamUrl='only';"), metaBlock("StreamTitle='';")}),
                 5);
  EXPECT_EQ(s.titles, (std::vector<std::string>{"A", "Rock 'n' Roll; Pt. 2", ""}));
  EXPECT_EQ(s.audio, a + a + a + a + a + a);

  EXPECT_EQ(icy::streamTitleOf("StreamTitle='Unended"), "Unended");
  EXPECT_EQ(icy::streamTitleOf(std::string("StreamTitle='Padded';\0\0\0", 24)), "Padded");
  EXPECT_EQ(icy::streamTitleOf("StreamTitle='It';s';"), "It';s");
  EXPECT_EQ(icy::streamTitleOf("StreamTitle='"), "");
}

TEST(IcyParser, BadHeaderValuesAndBrokenBlocks) {
  // A metaint that is not a number means no metadata, never a crash.
  for (const char* v : {"abc", "-16", "99999999999999", "", "16x"}) {
    Seen s = parse({"HTTP/1.0 200 OK", std::string("icy-metaint: ") + v, ""}, "0123456789", 3);
    EXPECT_EQ(s.info.metaint, 0) << v;
    EXPECT_EQ(s.audio, "0123456789") << v;
  }
  // An in-body header block that never ends is refused, not taken for audio.
  icy::Parser p;
  Seen s;
  wire(p, s);
  std::string junk = "ICY 200 OK\r\n" + std::string(icy::Parser::kMaxHeaderBlock + 10, 'x');
  p.feed(junk.data(), junk.size());
  EXPECT_TRUE(p.malformed());
  EXPECT_TRUE(s.audio.empty());
  // A body that ends inside its header block is malformed too.
  icy::Parser q;
  q.feed("ICY 200 OK\r\nicy-name: x", 23);
  q.finish();
  EXPECT_TRUE(q.malformed());
  // A refusal in the old form carries its status.
  Seen r = parse({}, "ICY 404 Resource Not Found\r\n\r\n", 4);
  EXPECT_EQ(r.info.status, 404);
  EXPECT_TRUE(r.audio.empty());
}

TEST(IcyParser, MetadataLengthByteAtEveryChunkBoundary) {
  // A metadata block of the greatest length (255 × 16 bytes), split at
  // every possible point between two feeds.
  std::string title(255 * 16 - 15, 't');  // the longest a block holds
  std::string meta = metaBlock("StreamTitle='" + title + "';");
  ASSERT_EQ(meta.size(), 1u + 255 * 16);
  std::string body = audioOf(0, 4) + meta + audioOf(4, 4);
  for (std::size_t cut = 0; cut <= body.size(); cut += 97) {
    icy::Parser p;
    Seen s;
    wire(p, s);
    p.headerLine("HTTP/1.0 200 OK");
    p.headerLine("icy-metaint: 4");
    p.feed(body.data(), cut);
    p.feed(body.data() + cut, body.size() - cut);
    ASSERT_EQ(s.audio, audioOf(0, 8)) << cut;
    ASSERT_EQ(s.titles, std::vector<std::string>{title}) << cut;
  }
}

}  // namespace
