#include "tools/lumoripper/track_tags.h"

#include "tools/lumoripper/file_names.h"

namespace ripper {

namespace {

// Control characters (a bell in a station's name, say) become blanks; the ends trimmed.
std::string visible(std::string_view text) {
  std::string out;
  for (char c : text) out += static_cast<unsigned char>(c) < 0x20 || c == 0x7f ? ' ' : c;
  const std::size_t first = out.find_first_not_of(' '), last = out.find_last_not_of(' ');
  return first == std::string::npos ? "" : out.substr(first, last - first + 1);
}

}  // namespace

TrackTags tagsFor(std::string_view title, std::string_view station) {
  const std::string utf8Title = visible(title);
  TrackTags tags;
  const std::size_t dash = utf8Title.find(" - ");
  if (dash == std::string::npos) {
    tags.title = utf8Title;
  } else {
    tags.artist = utf8Title.substr(0, dash);
    tags.title = utf8Title.substr(dash + 3);
  }
  tags.station = visible(station);
  tags.date = localTime("%Y-%m-%d");
  return tags;
}

}  // namespace ripper
