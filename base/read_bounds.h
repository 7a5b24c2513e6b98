#pragma once
// How much the plug-in takes from a server or a file at most, and how long
// it waits for a server: whatever sits at a path or answers a request, the
// GUI comes back and memory stays bounded. What arrived within a bound is
// used, as a page cut short by the server is.
#include <cstddef>

namespace oruvel::bounds {

// One download (a directory page or a tune-in playlist), start to end,
// however slowly the server sends.
inline constexpr int kDownloadSeconds = 20;
// The directory page: downloaded and read. Tens of thousands of stations.
inline constexpr std::size_t kPageBytes = 8u << 20;
// The tune-in playlist as downloaded; its first File line is all that counts.
inline constexpr std::size_t kPlaylistBytes = 64u << 10;
// The local station file and the favourites: tens of thousands of records.
inline constexpr std::size_t kStationFileBytes = 8u << 20;
// The genre file: thousands of genres.
inline constexpr std::size_t kGenreFileBytes = 1u << 20;
// The configuration file: a handful of key=value lines.
inline constexpr std::size_t kConfigBytes = 64u << 10;
// /tmp/lumopid: a PID and a newline, with room for blanks around it.
inline constexpr std::size_t kPidFileBytes = 64;

}  // namespace oruvel::bounds
