#include "tools/lumoripper/id3_tag.h"

#include <cstdint>

namespace ripper {
namespace {

// A 28-bit size as four bytes of seven bits, so no size looks like a frame sync.
void appendSyncsafe(std::string& out, std::uint32_t n) {
  for (int shift = 21; shift >= 0; shift -= 7) out += static_cast<char>((n >> shift) & 0x7F);
}

void appendTextFrame(std::string& out, const char* id, const std::string& text) {
  if (text.empty()) return;
  out += id;
  appendSyncsafe(out, static_cast<std::uint32_t>(text.size() + 1));
  out += std::string("\0\0\x03", 3);  // no flags; text as UTF-8
  out += text;
}

}  // namespace

std::string id3Tag(const TrackTags& tags) {
  std::string frames;
  // Titles come from a metadata block of at most 4080 bytes: far below the 28-bit sizes.
  appendTextFrame(frames, "TIT2", tags.title);
  appendTextFrame(frames, "TPE1", tags.artist);
  appendTextFrame(frames, "TRSN", tags.station);
  appendTextFrame(frames, "TDRC", tags.date);
  std::string tag("ID3\x04\x00\x00", 6);
  appendSyncsafe(tag, static_cast<std::uint32_t>(frames.size()));
  return tag + frames;
}

}  // namespace ripper
