#pragma once
// What audio a stream carries, told by its content type and by its own bytes.
// Shared by the ripper (file type, cut points) and the desktop player (decoder).
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace icy {

enum class StreamFormat { Unknown, Mp3, Aac, OggVorbis, OggOpus, OggOther };

// Whether the format is one of the Ogg family, whatever its codec.
inline bool isOgg(StreamFormat f) {
  return f == StreamFormat::OggVorbis || f == StreamFormat::OggOpus || f == StreamFormat::OggOther;
}

// The format a content type names (parameters and case ignored); Unknown when
// it names none we know.
StreamFormat formatFromContentType(std::string_view contentType);

// The format the bytes show: an Ogg page at the start (its first packet tells
// Vorbis from Opus), or two MPEG audio or ADTS frames in a row within the bytes
// given. Unknown when the bytes prove nothing (too few, or noise).
StreamFormat formatFromBytes(const std::uint8_t* data, std::size_t size);

// The bytes win when they prove a format; else the content type.
StreamFormat detectFormat(std::string_view contentType, const std::uint8_t* data, std::size_t size);

// True when the content type says the answer is a document, not audio
// (text/*, HTML, JSON, XML).
bool isDocumentType(std::string_view contentType);

// ".mp3", ".aac", ".ogg", ".opus"; ".bin" for Unknown.
const char* fileExtension(StreamFormat format);
// "MP3", "AAC", "Ogg Vorbis", "Ogg Opus", "Ogg", "unknown".
const char* formatName(StreamFormat format);

// Length in bytes of the MPEG audio frame whose 4-byte header starts at h, or
// 0 when h is not a valid MPEG audio (layer I-III) frame header.
std::size_t mpegFrameLength(const std::uint8_t* h);
// Length in bytes of the ADTS (AAC) frame whose 7-byte header starts at h, or
// 0 when h is not a valid ADTS header.
std::size_t adtsFrameLength(const std::uint8_t* h);

// Where the next whole frame starts in data: the first position whose frame
// header is followed by two more headers of the same stream, each where the
// one before says its frame ends (MP3 and ADTS only). kNoBoundary when none
// is proven within the
// bytes given (too few yet, or none within the first kBoundarySearch).
inline constexpr std::size_t kNoBoundary = static_cast<std::size_t>(-1);
inline constexpr std::size_t kBoundarySearch = 16 * 1024;
std::size_t nextBoundary(StreamFormat format, const std::uint8_t* data, std::size_t size);

}  // namespace icy
