#pragma once
// The filesystem root under which every fixed system path resolves.
// Empty on the receiver; a folder of its own for the desktop host and for
// each test. The root travels to child processes (the ripper) in the
// environment variable ORUVEL_ROOT, so a shell command started by the
// plug-in sees the same root without being told.
#include <string>

namespace oruvel {

inline constexpr const char* kRootEnv = "ORUVEL_ROOT";

// The current root ("" when none is set).
std::string fsRoot();
// Sets the root for this process and its future children.
void setFsRoot(const std::string& dir);
// fsRoot() followed by an absolute fixed path such as "/tmp/lumonet".
std::string rootedPath(const char* fixedPath);

}  // namespace oruvel
