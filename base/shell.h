#pragma once
// The one way Oruvel builds and runs shell command lines. Anything that a
// user typed or a server sent goes through shellQuote (or urlEncode for a
// URL query value) before it is put on a command line.
#include <cstddef>
#include <string>
#include <string_view>

namespace oruvel {

// 'text' with every single quote written as '\'' : one shell word, taken
// literally, whatever it holds.
std::string shellQuote(std::string_view text);

// Percent-encodes everything except the unreserved characters
// A-Z a-z 0-9 - . _ ~ , so the result is safe both in a URL query and,
// additionally quoted, on a command line.
std::string urlEncode(std::string_view text);

// Runs a command line through the shell and waits for it. The exit status
// is returned for callers that care; the plug-in's own commands ignore it.
int runShell(const std::string& command);

// Runs `command` with its standard output going to a fresh private file
// beside `path` (created exclusively, so nothing planted there is opened),
// which then takes the place of `path`: a link someone put at `path` is
// replaced, never followed. When no private file can be made, the command
// does not run and `path` is removed, so no earlier output passes for
// this one. Returns the shell's exit status, -1 when it did not run.
int runShellInto(const std::string& command, const std::string& path);

// Runs `command` and returns at most `maxBytes` of its standard output.
std::string shellOutput(const std::string& command, std::size_t maxBytes);

}  // namespace oruvel
