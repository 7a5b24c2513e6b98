#pragma once
// Lines on standard output for what the host sees: message boxes, play
// requests, still pictures. Off unless a front end turns it on.
#include <functional>
#include <string>

#include "host/host_api.h"

namespace host_transcript {
HOST_API void enable(bool on);
// Sends the lines to `receiver` instead of standard output (tests); an
// empty function goes back to standard output.
HOST_API void setSink(std::function<void(const std::string&)> receiver);
// Writes one line (a newline is added) and flushes.
HOST_API void line(const std::string& text);
// Text with newlines, carriage returns, tabs, backslashes, double quotes and
// other control characters escaped, so that one line stays one line.
HOST_API std::string escape(const std::string& text);
// escape(text) between double quotes.
HOST_API std::string quoted(const std::string& text);
}  // namespace host_transcript
