#include "tools/lumoripper/ogg_page.h"

#include <array>
#include <cstring>

namespace ripper::ogg {
namespace {

constexpr std::size_t kHeader = 27;  // fixed part, then one lacing byte per segment

std::uint32_t readLe(const std::string& page, std::size_t at, int bytes) {
  std::uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | static_cast<std::uint8_t>(page[at + i]);
  return v;
}

void writeLe(std::string& page, std::size_t at, std::uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) page[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

// The page checksum: CRC-32 with polynomial 0x04C11DB7, unreflected, from
// zero, over the page with its own checksum field read as zeros.
std::uint32_t checksum(const char* page, std::size_t length) {
  static const std::array<std::uint32_t, 256> table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
      std::uint32_t r = i << 24;
      for (int b = 0; b < 8; ++b) r = (r & 0x80000000u) ? (r << 1) ^ 0x04C11DB7u : r << 1;
      t[i] = r;
    }
    return t;
  }();
  std::uint32_t crc = 0;
  for (std::size_t i = 0; i < length; ++i) {
    const std::uint8_t c = i >= 22 && i < 26 ? 0 : static_cast<std::uint8_t>(page[i]);
    crc = (crc << 8) ^ table[((crc >> 24) ^ c) & 0xFF];
  }
  return crc;
}

void redoChecksum(std::string& page) { writeLe(page, 22, checksum(page.data(), page.size()), 4); }

// The whole page's length when `d` starts one and all of it is there; 0 when
// more bytes are needed; npos when `d` starts no page (a capture pattern
// that happens to be in the audio fails the checksum).
std::size_t pageLength(const std::string& d, std::size_t at) {
  const std::size_t have = d.size() - at;
  if (have < kHeader) return 0;
  if (d[at + 4] != 0) return std::string::npos;  // only version 0 exists
  const std::size_t segments = static_cast<std::uint8_t>(d[at + 26]);
  if (have < kHeader + segments) return 0;
  std::size_t length = kHeader + segments;
  for (std::size_t i = 0; i < segments; ++i) length += static_cast<std::uint8_t>(d[at + kHeader + i]);
  if (have < length) return 0;
  return checksum(d.data() + at, length) == readLe(d, at + 22, 4) ? length : std::string::npos;
}

}  // namespace

std::uint8_t flagsOf(const std::string& page) { return static_cast<std::uint8_t>(page[5]); }
std::uint32_t serialOf(const std::string& page) { return readLe(page, 14, 4); }
std::uint32_t sequenceOf(const std::string& page) { return readLe(page, 18, 4); }

void renumber(std::string& page, std::uint32_t sequence) {
  writeLe(page, 18, sequence, 4);
  redoChecksum(page);
}

std::string makePage(std::uint8_t flags, std::uint64_t granule, std::uint32_t serial, std::uint32_t sequence,
                     const std::string& lacing, const std::string& body) {
  std::string page("OggS\0", 5);
  page += static_cast<char>(flags);
  page.resize(kHeader);
  writeLe(page, 6, granule, 8);
  writeLe(page, 14, serial, 4);
  writeLe(page, 18, sequence, 4);
  page[26] = static_cast<char>(lacing.size());
  page += lacing;
  page += body;
  redoChecksum(page);
  return page;
}

void PageSplitter::feed(const char* data, std::size_t len, std::vector<Piece>& out) {
  buffer_.append(data, len);
  std::size_t at = 0;
  auto noise = [&](std::size_t end) {
    if (end == at) return;
    if (out.empty() || out.back().page) out.push_back({});
    out.back().bytes.append(buffer_, at, end - at);
    at = end;
  };
  while (at < buffer_.size()) {
    const std::size_t found = buffer_.find("OggS", at);
    if (found == std::string::npos) {
      // A capture pattern may be cut after its first bytes.
      noise(buffer_.size() > at + 3 ? buffer_.size() - 3 : at);
      break;
    }
    noise(found);
    const std::size_t length = pageLength(buffer_, at);
    if (length == 0) break;
    if (length == std::string::npos) {
      noise(at + 1);
      continue;
    }
    out.push_back({buffer_.substr(at, length), true});
    at += length;
  }
  buffer_.erase(0, at);
}

std::string PageSplitter::takeRest() {
  std::string rest;
  rest.swap(buffer_);
  return rest;
}

StreamHeaders::StreamHeaders(const std::string& firstPage) : serial_(serialOf(firstPage)) {
  gather(firstPage);
  if (packets_.empty()) return;
  const std::string& id = packets_.front();
  if (id.compare(0, 7, "\x01vorbis") == 0) codec_ = Codec::Vorbis, wanted_ = 3;
  else if (id.compare(0, 8, "OpusHead") == 0) codec_ = Codec::Opus, wanted_ = 2;
}

bool StreamHeaders::add(const std::string& page) {
  if (complete() || wanted_ == 0 || tooBig() || serialOf(page) != serial_) return false;
  gather(page);
  return true;
}

void StreamHeaders::gather(const std::string& page) {
  pages_.push_back(page);
  bytes_ += page.size();
  if (tooBig()) return;
  const std::size_t segments = static_cast<std::uint8_t>(page[26]);
  std::size_t body = kHeader + segments;
  for (std::size_t i = 0; i < segments; ++i) {
    const std::size_t size = static_cast<std::uint8_t>(page[kHeader + i]);
    if (complete()) clean_ = false;  // audio on a header page
    partial_.append(page, body, size);
    body += size;
    if (size < 255) packets_.push_back(std::move(partial_)), partial_.clear();
  }
}

}  // namespace ripper::ogg
