#include "tools/icy/icy_client.h"
#include "tools/icy/stream_title.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace {

// Everything a response handed back.
struct Seen {
  std::string audio;
  std::vector<std::string> titles;
  int headerCalls = 0;
  icy::StreamInfo info;
  bool audioBeforeHeaders = false, malformed = false;
};

std::string metaBlock(const std::string& text) {
  const std::size_t blocks = (text.size() + 15) / 16;
  return std::string(1, static_cast<char>(blocks)) + text + std::string(blocks * 16 - text.size(), '\0');
}

std::string audioOf(std::size_t n) {
  std::string a;
  for (std::size_t i = 0; i < n; ++i) a += static_cast<char>((i * 131 + (i >> 7)) & 0xFF);
  return a;
}

Seen parse(const std::vector<std::string>& headerLines, const std::string& body, std::size_t chunk, bool finish = true) {
  icy::Response p;
  Seen s;
  p.onHeaders = [&s](const icy::StreamInfo& i) { ++s.headerCalls; s.info = i; };
  p.onAudio = [&s](const char* d, std::size_t n) { s.audioBeforeHeaders |= s.headerCalls == 0; s.audio.append(d, n); };
  p.onTitle = [&s](const std::string& t) { s.titles.push_back(t); };
  for (const auto& l : headerLines) p.headerLine(l);
  for (std::size_t i = 0; i < body.size(); i += chunk) p.feed(body.data() + i, std::min(chunk, body.size() - i));
  if (finish) p.finish();
  s.malformed = p.malformed();
  return s;
}

TEST(IcyResponse, HeadersInTheTransportOrInTheBodyFrameAudioAndTitlesWhateverTheChunking) {
  // Metaint 16: audio, a title, audio, an empty block, audio, a second title,
  // audio, a block of the greatest length (255 × 16 bytes), audio.
  const std::string a = audioOf(80), longest(255 * 16 - 15, 't');
  const std::string body = a.substr(0, 16) + metaBlock("StreamTitle='One';") + a.substr(16, 16) + '\0' +
                           a.substr(32, 16) + metaBlock("StreamTitle='Two - B';StreamUrl='http://x/';") +
                           a.substr(48, 16) + metaBlock("StreamTitle='" + longest + "';") + a.substr(64, 16);
  const std::vector<std::string> http = {
      "HTTP/1.0 200 OK\r\n", "Content-Type: Audio/MPEG; charset=x\r\n", "icy-name: Test FM\r\n",
      "icy-genre: Rock\r\n", "icy-br: 128,128\r\n", "ICY-METAINT: 16\r\n", "\r\n"};
  const std::string old = "ICY 200 OK\r\nicy-name:Test FM\r\nicy-genre:Rock\r\nicy-br:128\r\n"
                          "icy-metaint:16\r\ncontent-type:audio/aacp";
  const struct {
    std::vector<std::string> headers;
    std::string head, statusLine, type;
  } cases[] = {{http, "", "HTTP/1.0 200 OK", "audio/mpeg"},
               {{}, old + "\r\n\r\n", "ICY 200 OK", "audio/aacp"},
               {{}, old + "\n\n", "ICY 200 OK", "audio/aacp"}};
  for (const auto& c : cases)
    for (std::size_t chunk : {1, 3, 17, 100000}) {
      SCOPED_TRACE(c.statusLine + " " + std::to_string(c.head.size()) + " " + std::to_string(chunk));
      const Seen s = parse(c.headers, c.head + body, chunk);
      EXPECT_EQ(s.audio, a);
      EXPECT_EQ(s.titles, (std::vector<std::string>{"One", "Two - B", longest}));
      EXPECT_EQ(std::tie(s.headerCalls, s.audioBeforeHeaders, s.info.statusLine, s.info.status, s.info.name,
                         s.info.genre, s.info.contentType, s.info.metaint, s.info.bitrate),
                std::make_tuple(1, false, c.statusLine, 200, "Test FM", "Rock", c.type, 16, 128));
    }
  // A redirect's headers are replaced by the final response's.
  const Seen r = parse({"HTTP/1.1 302 Found", "icy-name: Wrong", "icy-metaint: 99", "", "HTTP/1.0 200 OK",
                        "icy-name: Right", ""}, "abc", 10);
  EXPECT_EQ(std::tie(r.info.name, r.info.metaint, r.audio), std::make_tuple("Right", 0, "abc"));
}

TEST(IcyResponse, WithoutMetaintEverythingIsAudio) {
  // Even bytes that look like a metadata block are not taken out.
  const std::string body = audioOf(40) + metaBlock("StreamTitle='X';");
  const Seen s = parse({"HTTP/1.1 200 OK", "Content-Type: audio/mpeg", ""}, body, 7);
  EXPECT_EQ(std::tie(s.audio, s.titles), std::make_tuple(body, std::vector<std::string>{}));
  // A bare body that merely starts like "IC" is audio; so is a metaint that is no number.
  for (std::string bare : {"IC", "ICE cold audio", "\xff\xfb\x90"}) {
    const Seen b = parse({}, bare, 1);
    EXPECT_EQ(std::tie(b.audio, b.headerCalls), std::make_tuple(bare, 1));
  }
  for (const char* v : {"abc", "-16", "99999999999999", "", "16x"}) {
    const Seen m = parse({"HTTP/1.0 200 OK", std::string("icy-metaint: ") + v, ""}, "0123456789", 3);
    EXPECT_EQ(std::tie(m.info.metaint, m.audio), std::make_tuple(0, "0123456789")) << v;
  }
}

TEST(IcyResponse, RepeatedOddAndBrokenTitlesAndHeaderBlocks) {
  const std::string a = audioOf(8);
  std::string body;
  // The same title again is no change; quotes and semicolons stay; a block
  // without StreamTitle changes nothing.
  for (const char* m : {"StreamTitle='A';", "StreamTitle='A';", "StreamTitle='Rock 'n' Roll; Pt. 2';StreamUrl='u';",
                        "StreamUrl='only';", "StreamTitle='';"})
    body += a + metaBlock(m);
  const Seen s = parse({"HTTP/1.0 200 OK", "icy-metaint: 8", ""}, body + a, 5);
  EXPECT_EQ(s.titles, (std::vector<std::string>{"A", "Rock 'n' Roll; Pt. 2", ""}));
  EXPECT_EQ(s.audio, a + a + a + a + a + a);
  // The smallest interval: a block behind every audio byte.
  const Seen one = parse({"HTTP/1.0 200 OK", "icy-metaint: 1", ""}, "a" + std::string(1, '\0') + "b" +
                         metaBlock("StreamTitle='M';") + "c", 2);
  EXPECT_EQ(std::tie(one.audio, one.titles), std::make_tuple("abc", std::vector<std::string>{"M"}));
  const std::pair<std::string, std::string> titles[] = {
      {"StreamTitle='Unended", "Unended"}, {"StreamTitle='Unended'", "Unended"},
      {std::string("StreamTitle='Padded';\0\0\0", 24), "Padded"},
      {"StreamTitle='It';s';", "It';s"}, {"StreamTitle='", ""}, {"StreamTitle='A';b='x';", "A"},
      {"StreamUrl='u';", "(none)"}};
  for (const auto& [block, title] : titles) EXPECT_EQ(icy::streamTitleOf(block).value_or("(none)"), title);
  // A block that ends in what looks like the next key: nothing behind it is read.
  EXPECT_EQ(icy::streamTitleOf(std::string_view("StreamTitle='A';keyX", 19)).value_or("(none)"), "A';key");
  // An in-body header block that never ends (seen before the body ends), or
  // ends with the body, is malformed, not audio; a refusal in the old form carries its status.
  const Seen endless = parse({}, "ICY 200 OK\r\n" + std::string(icy::ResponseHeaders::kMaxHeaderBlock + 10, 'x'),
                             100000, false);
  EXPECT_TRUE(endless.malformed && endless.audio.empty());
  EXPECT_TRUE(parse({}, "ICY 200 OK\r\nicy-name: x", 100).malformed);
  const Seen refused = parse({}, "ICY 404 Resource Not Found\r\n\r\n", 4);
  EXPECT_EQ(std::tie(refused.info.status, refused.audio), std::make_tuple(404, ""));
}

}  // namespace
