#pragma once
// Fixed file names shared by the plug-in, the ripper and the host.
// Always resolve them with rootedPath().

namespace oruvel::paths {

inline constexpr const char* kConfigFile = "/var/tuxbox/config/oruvel/oruvel.conf";
inline constexpr const char* kLumoNet = "/tmp/lumonet";          // directory page
inline constexpr const char* kLumoList = "/tmp/lumolist.m3u";    // resolved playlist
inline constexpr const char* kLumoPid = "/tmp/lumopid";          // ripper's own PID file
inline constexpr const char* kLumoPidProbe = "/tmp/lumopid.pid"; // pidof output
inline constexpr const char* kLumoRip = "/tmp/lumorip";          // ripper progress line
inline constexpr const char* kLcdDevice = "/dev/dbox/lcd0";

}  // namespace oruvel::paths
