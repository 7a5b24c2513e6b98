#pragma once
// Ogg pages as the ripper meets them: split out of the stream, read, renumbered
// with a fresh checksum, and the header packets of a logical stream gathered.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ripper::ogg {

inline constexpr std::uint8_t kContinued = 0x01, kFirstPage = 0x02;

std::uint8_t flagsOf(const std::string& page);
std::uint32_t serialOf(const std::string& page);
std::uint32_t sequenceOf(const std::string& page);
// Gives the page a new sequence number and redoes its checksum.
void renumber(std::string& page, std::uint32_t sequence);
// A page of one logical stream from its header fields and body; the checksum done.
std::string makePage(std::uint8_t flags, std::uint64_t granule, std::uint32_t serial, std::uint32_t sequence,
                     const std::string& lacing, const std::string& body);

// Cuts a byte stream into whole pages; bytes that are no page (noise before
// a capture pattern) come out apart, as they came.
class PageSplitter {
 public:
  struct Piece {
    std::string bytes;
    bool page = false;
  };
  void feed(const char* data, std::size_t len, std::vector<Piece>& out);
  // The bytes of a page not yet whole (at the end of a recording).
  std::string takeRest();

 private:
  std::string buffer_;
};

enum class Codec { Vorbis, Opus, Other };

// A logical stream's header packets, page by page from its first page: the
// identification, the comments and (Vorbis) the setup. Audio starts on a
// fresh page after them.
class StreamHeaders {
 public:
  // Beyond this the headers (cover art, say) are passed on as they are.
  static constexpr std::size_t kMaxBytes = 256 * 1024;

  explicit StreamHeaders(const std::string& firstPage);
  // Takes the stream's next page; false when it is not this stream's or
  // the headers are already complete.
  bool add(const std::string& page);
  bool complete() const { return packets_.size() >= wanted_ && wanted_ > 0; }
  // Complete, and the last header packet ended its page (nothing else on it).
  bool clean() const { return complete() && clean_; }
  bool tooBig() const { return bytes_ > kMaxBytes; }
  Codec codec() const { return codec_; }
  const std::vector<std::string>& pages() const { return pages_; }
  const std::vector<std::string>& packets() const { return packets_; }

 private:
  void gather(const std::string& page);

  Codec codec_ = Codec::Other;
  std::uint32_t serial_ = 0;
  std::size_t wanted_ = 0, bytes_ = 0;
  bool clean_ = true;
  std::string partial_;
  std::vector<std::string> pages_, packets_;
};

}  // namespace ripper::ogg
