#include "tools/lumoripper/ogg_comments.h"

namespace ripper::ogg {
namespace {

void appendLe32(std::string& out, std::size_t v) {
  for (int i = 0; i < 4; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

std::uint32_t readLe32(const std::string& s, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<std::uint8_t>(s[at + i]);
  return v;
}

}  // namespace

std::string commentPacket(Codec codec, const std::string& original, const TrackTags& tags) {
  const std::string magic = codec == Codec::Vorbis ? std::string("\x03vorbis") : std::string("OpusTags");
  std::string vendor = "lumoripper";
  if (original.size() >= magic.size() + 4) {
    const std::size_t length = readLe32(original, magic.size());
    if (length <= original.size() - magic.size() - 4) vendor = original.substr(magic.size() + 4, length);
  }
  std::vector<std::string> comments;
  if (!tags.title.empty()) comments.push_back("TITLE=" + tags.title);
  if (!tags.artist.empty()) comments.push_back("ARTIST=" + tags.artist);
  if (!tags.station.empty()) comments.push_back("ORGANIZATION=" + tags.station);
  std::string packet = magic;
  appendLe32(packet, vendor.size());
  packet += vendor;
  appendLe32(packet, comments.size());
  for (const auto& c : comments) appendLe32(packet, c.size()), packet += c;
  if (codec == Codec::Vorbis) packet += '\x01';  // the framing bit
  return packet;
}

std::vector<std::string> pagesFor(const std::vector<std::string>& packets, std::uint32_t serial,
                                  std::uint32_t sequence) {
  std::vector<std::string> pages;
  std::string lacing, body;
  bool continued = false, packetEnded = false;
  auto emit = [&] {
    // No packet ending on a page: no position either.
    pages.push_back(makePage(continued ? kContinued : 0, packetEnded ? 0 : ~0ull, serial, sequence++, lacing, body));
    lacing.clear(), body.clear();
    packetEnded = false;
  };
  for (const auto& packet : packets) {
    // A packet is 255-byte segments and a shorter last one (0 when it fits exactly).
    for (std::size_t at = 0;; at += 255) {
      const std::size_t size = packet.size() - at < 255 ? packet.size() - at : 255;
      if (lacing.size() == 255) {
        emit();
        continued = at > 0;
      }
      lacing += static_cast<char>(size);
      body.append(packet, at, size);
      if (size < 255) {
        packetEnded = true;
        break;
      }
    }
  }
  if (!lacing.empty()) emit();
  return pages;
}

void CommentRewriter::passOn(Stream& stream, std::string& out) {
  const auto& pages = stream.headers->pages();
  for (std::size_t i = 1; i < pages.size(); ++i) out += pages[i];  // the first went out already
  stream.headers.reset();
}

void CommentRewriter::page(const std::string& page, std::string& out) {
  const std::uint32_t serial = serialOf(page);
  if (flagsOf(page) & kFirstPage) {
    Stream& stream = streams_[serial] = Stream{};
    stream.headers.emplace(page);
    if (stream.headers->codec() == Codec::Other) stream.headers.reset();
    out += page;
    return;
  }
  auto it = streams_.find(serial);
  if (it == streams_.end()) {
    out += page;
    return;
  }
  Stream& stream = it->second;
  if (stream.renumbering) {
    std::string renumbered = page;
    renumber(renumbered, stream.nextSequence++);
    out += renumbered;
    return;
  }
  if (!stream.headers) {
    out += page;
    return;
  }
  StreamHeaders& headers = *stream.headers;
  headers.add(page);
  if (headers.tooBig()) return passOn(stream, out);
  if (!headers.complete()) return;
  if (!headers.clean()) return passOn(stream, out);
  std::vector<std::string> packets(headers.packets().begin() + 1, headers.packets().end());
  packets.front() = commentPacket(headers.codec(), packets.front(), tags_);
  const std::uint32_t first = sequenceOf(headers.pages().front()) + 1;
  const std::vector<std::string> pages = pagesFor(packets, serial, first);
  for (const auto& p : pages) out += p;
  stream.nextSequence = first + static_cast<std::uint32_t>(pages.size());
  stream.renumbering = true;
  stream.headers.reset();
}

void CommentRewriter::finish(std::string& out) {
  for (auto& [serial, stream] : streams_)
    if (stream.headers) passOn(stream, out);
  streams_.clear();
}

}  // namespace ripper::ogg
