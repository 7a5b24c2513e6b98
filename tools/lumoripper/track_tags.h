#pragma once
// What a recording says about itself inside the file: the stream title split
// into artist and title, the station and the day it was recorded.
#include <string>
#include <string_view>

namespace ripper {

struct TrackTags {
  std::string title, artist, station, date;  // UTF-8; date as 2026-01-31
};

// "Artist - Title" split at the first " - "; without one the whole text is
// the title. Both texts are UTF-8 already; control characters become
// blanks. The date is today's.
TrackTags tagsFor(std::string_view title, std::string_view station);

}  // namespace ripper
