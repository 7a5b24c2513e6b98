#pragma once
// A recording's tags in Ogg: each Vorbis or Opus logical stream in the file
// gets a new comment packet (TITLE, ARTIST, ORGANIZATION) in place of the one
// it came with; the pages after it are renumbered and their checksums redone.
// The audio packets are left as they came.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "tools/lumoripper/ogg_page.h"
#include "tools/lumoripper/track_tags.h"

namespace ripper::ogg {

// The comment packet for `codec` (Vorbis comment header or OpusTags),
// keeping the vendor string of the packet it replaces.
std::string commentPacket(Codec codec, const std::string& original, const TrackTags& tags);

// Lays packets out on the pages of one logical stream, the first numbered
// `sequence`; the last page ends with the last packet.
std::vector<std::string> pagesFor(const std::vector<std::string>& packets, std::uint32_t serial,
                                  std::uint32_t sequence);

// One file's pages on their way to disk.
class CommentRewriter {
 public:
  explicit CommentRewriter(TrackTags tags) : tags_(std::move(tags)) {}
  // Takes one whole page; appends what goes into the file to `out`.
  void page(const std::string& page, std::string& out);
  // Appends what is still held (headers that never completed), as it came.
  void finish(std::string& out);

 private:
  struct Stream {
    std::optional<StreamHeaders> headers;  // while they are gathered
    bool renumbering = false;
    std::uint32_t nextSequence = 0;
  };
  void passOn(Stream& stream, std::string& out);

  TrackTags tags_;
  std::map<std::uint32_t, Stream> streams_;
};

}  // namespace ripper::ogg
