#pragma once
// Tune-in: a station's playlist resolved to a stream URL, and the strings
// built from it.
#include <string>
#include <string_view>

#include "base/config.h"

namespace oruvel {

// The tune-in result: the chosen station's stream and the strings built
// from it. One object lives as long as the plug-in is loaded, so the green
// key of a second run plays what the first resolved.
struct TuneIn {
  char playlist_string[256] = {};  // the stream URL
  char play_stream[256] = {};      // "4096:0:0:0:0:0:0:0:0:0:" + URL
  char ripp_stream[256] = {};      // RIPPER URL -d RIPDIR, as shown to the user
  int playlistread_error = 0;      // 1 when the last tune-in found no stream
  // The chosen entry's row in the station list (its key plus one), or the
  // chosen genre's key.
  int item_eintrag = 1;
};

}  // namespace oruvel

// Reads the first URL of /tmp/lumolist.m3u into playlist_string (its line
// end of newline and carriage return dropped): 0 when read, 1 when the file
// cannot be opened, is empty, or its first line does not fit.
int OpenPlayList(oruvel::TuneIn& tuneIn);

namespace oruvel {

// The service-reference text of an internet stream, before its URL.
inline constexpr std::string_view kStreamPrefix = "4096:0:0:0:0:0:0:0:0:0:";

// "http://HOST/sbin/tunein-station.pls?id=" and the percent-encoded id.
std::string playlistUrl(std::string_view id);

// The pipeline that fetches the station's playlist (at most
// bounds::kPlaylistBytes of it) and writes the URLs of its File lines to
// standard output.
std::string playlistCommand(std::string_view id);

// Runs it into /tmp/lumolist.m3u (under the root).
void downloadPlaylist(std::string_view id);

// After the pipeline ran: clears playlist_string and ripp_stream, reads
// the playlist, and on success builds play_stream and ripp_stream from the
// URL and the configured ripper. False when the playlist cannot be read or
// the URL does not fit play_stream or ripp_stream (playlist_string and
// ripp_stream are then empty and play_stream keeps the station resolved
// before).
bool resolveStreamStrings(TuneIn& tuneIn, const Config& config);

}  // namespace oruvel
