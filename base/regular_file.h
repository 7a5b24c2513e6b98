#pragma once
// Opening a file the plug-in reads, safe against what others may have placed
// at its path: a FIFO, a device or a directory counts as missing, and the open
// itself never blocks (a FIFO without a writer would hold the GUI for ever).
#include <cstdio>

namespace oruvel {

// fopen() for "r", "r+" or "a+" (as the receiver's files are opened), but only
// when path is a regular file (or, for "a+", when it is created as one).
// nullptr otherwise, with errno set (EINVAL for a file that is not regular).
std::FILE* openRegularFile(const char* path, const char* mode);

}  // namespace oruvel
