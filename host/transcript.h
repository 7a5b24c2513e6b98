#pragma once
// Lines on standard output for what the host sees: message boxes, play
// requests, still pictures. Off unless a front end turns it on.
#include <string>

#include "host/host_api.h"

namespace host_transcript {
HOST_API void enable(bool on);
HOST_API bool enabled();
// Writes one line (a newline is added) and flushes.
HOST_API void line(const std::string& text);
// Text with newlines, carriage returns and backslashes escaped.
HOST_API std::string escape(const std::string& text);
}  // namespace host_transcript
