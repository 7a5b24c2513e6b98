#pragma once
// The ID3v2.4 tag an MP3 or AAC (ADTS) recording starts with; players and
// libraries skip it to reach the audio.
#include <string>

#include "tools/lumoripper/track_tags.h"

namespace ripper {

// The whole tag: TIT2, TPE1, TRSN and TDRC, each present when not empty,
// as UTF-8 text frames.
std::string id3Tag(const TrackTags& tags);

}  // namespace ripper
