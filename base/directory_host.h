#pragma once
#include <string>

namespace oruvel {

inline constexpr const char* kDirectoryEnv = "ORUVEL_DIRECTORY";

// The station directory's host[:port]: ORUVEL_DIRECTORY when the desktop
// host set it, otherwise the value chosen when the plug-in was built.
std::string directoryHost();

}  // namespace oruvel
