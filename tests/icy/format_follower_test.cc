// The format follower, fed a stream that changes codec and carries junk, in
// pieces of every size: the same runs of whole frames come out whatever the cuts.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "tools/icy/format_follower.h"

namespace {

using icy::StreamFormat;

std::string frames(int count, const std::string& header, std::size_t length) {
  std::string out;
  for (int i = 0; i < count; ++i) out += header + std::string(length - header.size(), '\x11');
  return out;
}

const std::string kMp3 = frames(20, "\xFF\xFB\x90\x64", 417);  // MPEG-1 layer III, 128 kbit/s, 44.1 kHz
const std::string kAac = frames(30, std::string("\xFF\xF1\x50\x40\x19\x1F\xFC", 7), 200);  // ADTS AAC-LC, 200 bytes

// What came out: the formats in turn and the bytes of each.
std::vector<std::pair<StreamFormat, std::size_t>> follow(const std::string& stream, std::size_t piece) {
  std::vector<std::pair<StreamFormat, std::size_t>> runs;
  icy::FormatFollower follower;
  follower.onAudio = [&](StreamFormat f, const char*, std::size_t n) {
    if (runs.empty() || runs.back().first != f) runs.emplace_back(f, 0);
    runs.back().second += n;
  };
  for (std::size_t at = 0; at < stream.size(); at += piece) follower.feed(stream.data() + at, std::min(piece, stream.size() - at));
  return runs;
}

}  // namespace

TEST(FormatFollower, ACodecChangeAndJunkBetweenFramesGiveWholeFramesOfEachFormatInAnyPieces) {
  const std::string stream = kMp3 + std::string(500, '\0') + kMp3 + kAac;
  const std::vector<std::pair<StreamFormat, std::size_t>> expected = {{StreamFormat::Mp3, 2 * kMp3.size()},
                                                                      {StreamFormat::Aac, kAac.size()}};
  for (std::size_t piece : {std::size_t(1), std::size_t(7), std::size_t(416), std::size_t(5000), stream.size()}) {
    SCOPED_TRACE(piece);
    EXPECT_EQ(follow(stream, piece), expected);
  }
  // Bytes that prove nothing are said once, and nothing goes out.
  icy::FormatFollower follower;
  int told = 0;
  follower.onUnknown = [&] { ++told; };
  follower.onAudio = [&](StreamFormat, const char*, std::size_t) { ADD_FAILURE() << "noise went out"; };
  const std::string noise(200 * 1024, '\x42');
  follower.feed(noise.data(), noise.size());
  follower.feed(noise.data(), noise.size());
  EXPECT_EQ(told, 1);
}
