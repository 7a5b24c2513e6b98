#pragma once
// Tune-in: a station's playlist resolved to a stream URL, and the strings
// built from it.
#include <string>
#include <string_view>

extern char playlist_string[256];  // the stream URL
extern char play_stream[256];      // "4096:0:0:0:0:0:0:0:0:0:" + URL
extern char ripp_stream[256];      // RIPPER URL -d RIPDIR, as shown to the user
extern int playlistread_error;
extern int item_eintrag;

// Reads the first URL of /tmp/lumolist.m3u into playlist_string (its line
// end of newline and carriage return dropped): 0 when read, 1 when the file
// cannot be opened, is empty, or its first line does not fit.
int OpenPlayList();

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
// URL. False when the playlist cannot be read or the URL does not
// fit play_stream or ripp_stream (playlist_string and ripp_stream are then
// empty and play_stream keeps the station resolved before).
bool resolveStreamStrings();

// The command line that starts the ripper on playlist_string into RIPDIR,
// each of the three quoted for the shell; the caller appends " &".
std::string ripperCommandLine();

}  // namespace oruvel
