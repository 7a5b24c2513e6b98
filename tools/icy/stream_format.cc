#include "tools/icy/stream_format.h"

#include <cstring>
#include <string>

namespace icy {
namespace {

std::string lowerMediaType(std::string_view contentType) {
  std::string_view type = contentType.substr(0, contentType.find(';'));
  while (!type.empty() && (type.front() == ' ' || type.front() == '\t')) type.remove_prefix(1);
  while (!type.empty() && (type.back() == ' ' || type.back() == '\t')) type.remove_suffix(1);
  std::string out(type);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

// Kbit/s by [MPEG-1?][layer index 1..3][bitrate index].
constexpr unsigned short kBitrates[2][3][16] = {
    {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}},
    {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0}},
};
constexpr unsigned kMpeg1Rates[3] = {44100, 48000, 32000};

bool oggPage(const std::uint8_t* d, std::size_t n) { return n >= 4 && std::memcmp(d, "OggS", 4) == 0; }

StreamFormat oggKind(const std::uint8_t* d, std::size_t n) {
  if (n < 27) return StreamFormat::OggOther;
  std::size_t segments = d[26];
  std::size_t start = 27 + segments;
  if (n < start + 8) return StreamFormat::OggOther;
  const std::uint8_t* packet = d + start;
  if (std::memcmp(packet, "OpusHead", 8) == 0) return StreamFormat::OggOpus;
  if (std::memcmp(packet, "\x01vorbis", 7) == 0) return StreamFormat::OggVorbis;
  return StreamFormat::OggOther;
}

}  // namespace

std::size_t mpegFrameLength(const std::uint8_t* h) {
  if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0) return 0;
  unsigned version = (h[1] >> 3) & 3;  // 0: 2.5, 1: reserved, 2: 2, 3: 1
  unsigned layerBits = (h[1] >> 1) & 3;  // 1: III, 2: II, 3: I
  unsigned bitrateIndex = h[2] >> 4;
  unsigned rateIndex = (h[2] >> 2) & 3;
  if (version == 1 || layerBits == 0 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3) return 0;
  unsigned layer = 4 - layerBits;  // 1..3
  bool mpeg1 = version == 3;
  unsigned kbps = kBitrates[mpeg1 ? 1 : 0][layer - 1][bitrateIndex];
  unsigned rate = kMpeg1Rates[rateIndex] >> (mpeg1 ? 0 : (version == 2 ? 1 : 2));
  unsigned padding = (h[2] >> 1) & 1;
  if (layer == 1) return (12 * kbps * 1000 / rate + padding) * 4;
  unsigned perFrame = (layer == 3 && !mpeg1) ? 72 : 144;
  return perFrame * kbps * 1000 / rate + padding;
}

std::size_t adtsFrameLength(const std::uint8_t* h) {
  if (h[0] != 0xFF || (h[1] & 0xF6) != 0xF0) return 0;
  if (((h[2] >> 2) & 0x0F) > 12) return 0;  // sampling frequency index
  std::size_t length = (std::size_t(h[3] & 3) << 11) | (std::size_t(h[4]) << 3) | (h[5] >> 5);
  std::size_t header = (h[1] & 1) ? 7 : 9;
  return length > header ? length : 0;
}

StreamFormat formatFromContentType(std::string_view contentType) {
  std::string t = lowerMediaType(contentType);
  if (t == "audio/mpeg" || t == "audio/mp3" || t == "audio/mpeg3" || t == "audio/x-mpeg" || t == "audio/mpg" ||
      t == "audio/x-mp3")
    return StreamFormat::Mp3;
  if (t == "audio/aac" || t == "audio/aacp" || t == "audio/x-aac" || t == "audio/mp4a-latm" ||
      t == "audio/x-aacp")
    return StreamFormat::Aac;
  if (t == "audio/opus") return StreamFormat::OggOpus;
  if (t == "audio/vorbis") return StreamFormat::OggVorbis;
  if (t == "application/ogg" || t == "audio/ogg" || t == "audio/x-ogg") return StreamFormat::OggOther;
  return StreamFormat::Unknown;
}

StreamFormat formatFromBytes(const std::uint8_t* data, std::size_t size) {
  if (oggPage(data, size)) return oggKind(data, size);
  // Skip an ID3v2 tag some servers send ahead of MP3 audio.
  std::size_t at = 0;
  if (size >= 10 && std::memcmp(data, "ID3", 3) == 0) {
    at = 10 + ((std::size_t(data[6] & 0x7F) << 21) | (std::size_t(data[7] & 0x7F) << 14) |
               (std::size_t(data[8] & 0x7F) << 7) | std::size_t(data[9] & 0x7F));
  }
  for (; at + 7 <= size; ++at) {
    if (data[at] != 0xFF) continue;
    if (oggPage(data + at, size - at)) return oggKind(data + at, size - at);
    std::size_t mp3 = mpegFrameLength(data + at);
    if (mp3 && at + mp3 + 4 <= size && mpegFrameLength(data + at + mp3)) return StreamFormat::Mp3;
    std::size_t aac = adtsFrameLength(data + at);
    if (aac && at + aac + 7 <= size && adtsFrameLength(data + at + aac)) return StreamFormat::Aac;
  }
  // An Ogg page need not start the bytes: a capture pattern later on proves Ogg.
  for (std::size_t i = 0; i + 4 <= size; ++i)
    if (data[i] == 'O' && oggPage(data + i, size - i)) return oggKind(data + i, size - i);
  return StreamFormat::Unknown;
}

StreamFormat detectFormat(std::string_view contentType, const std::uint8_t* data, std::size_t size) {
  StreamFormat bytes = formatFromBytes(data, size);
  if (bytes == StreamFormat::Unknown) return formatFromContentType(contentType);
  if (bytes == StreamFormat::OggOther) {
    StreamFormat named = formatFromContentType(contentType);
    if (named == StreamFormat::OggOpus || named == StreamFormat::OggVorbis) return named;
  }
  return bytes;
}

bool isDocumentType(std::string_view contentType) {
  std::string t = lowerMediaType(contentType);
  if (t.compare(0, 5, "text/") == 0) return true;
  auto endsWith = [&](std::string_view s) { return t.size() >= s.size() && t.compare(t.size() - s.size(), s.size(), s) == 0; };
  return t == "application/json" || t == "application/xml" || t == "application/xhtml+xml" ||
         endsWith("+json") || endsWith("+xml") || endsWith("/html");
}

namespace {

// The header bits that stay the same from frame to frame of one stream.
std::uint32_t fixedBits(StreamFormat format, const std::uint8_t* h) {
  std::uint32_t word = (std::uint32_t(h[0]) << 24) | (std::uint32_t(h[1]) << 16) | (std::uint32_t(h[2]) << 8) | h[3];
  return format == StreamFormat::Mp3 ? word & 0xFFFE0C00u   // version, layer, sample rate
                                     : word & 0xFFFFFFC0u;  // profile, rate, channels
}

std::size_t frameLength(StreamFormat format, const std::uint8_t* h) {
  return format == StreamFormat::Mp3 ? mpegFrameLength(h) : adtsFrameLength(h);
}

}  // namespace

std::size_t nextBoundary(StreamFormat format, const std::uint8_t* data, std::size_t size) {
  if (format != StreamFormat::Mp3 && format != StreamFormat::Aac) return kNoBoundary;
  const std::size_t header = format == StreamFormat::Mp3 ? 4 : 7;
  for (std::size_t at = 0; at < kBoundarySearch && at + header <= size; ++at) {
    if (data[at] != 0xFF) continue;
    std::size_t first = frameLength(format, data + at);
    if (!first) continue;
    std::size_t second = at + first;
    if (second + header > size) return kNoBoundary;  // not provable yet
    std::size_t next = frameLength(format, data + second);
    if (!next || fixedBits(format, data + second) != fixedBits(format, data + at)) continue;
    std::size_t third = second + next;
    if (third + header > size) return kNoBoundary;
    if (frameLength(format, data + third) && fixedBits(format, data + third) == fixedBits(format, data + at))
      return at;
  }
  return kNoBoundary;
}

const char* fileExtension(StreamFormat format) {
  switch (format) {
    case StreamFormat::Mp3: return ".mp3";
    case StreamFormat::Aac: return ".aac";
    case StreamFormat::OggVorbis: case StreamFormat::OggOther: return ".ogg";
    case StreamFormat::OggOpus: return ".opus";
    case StreamFormat::Unknown: break;
  }
  return ".bin";
}

const char* formatName(StreamFormat format) {
  switch (format) {
    case StreamFormat::Mp3: return "MP3";
    case StreamFormat::Aac: return "AAC";
    case StreamFormat::OggVorbis: return "Ogg Vorbis";
    case StreamFormat::OggOpus: return "Ogg Opus";
    case StreamFormat::OggOther: return "Ogg";
    case StreamFormat::Unknown: break;
  }
  return "unknown";
}

}  // namespace icy
