#pragma once
// The directory's station page for a genre, fetched with wget into
// /tmp/lumonet.
#include <string>
#include <string_view>

namespace oruvel {

// wget gives up on a directory that does not answer after about 20 s:
// 10 s per connect or read, two tries.
inline constexpr const char* kWgetBounds = "-T 10 -t 2";

// wget with those bounds, writing the document at `url` to standard output.
std::string wgetToStdout(const std::string& url);

// "http://HOST/sbin/newxml.phtml?genre=" and the genre, percent-encoded so
// the directory receives exactly the text given.
std::string directoryPageUrl(std::string_view genre);

// The shell command line that saves the page for `genre` as /tmp/lumonet
// (under the root); every part that varies is quoted.
std::string directoryPageCommand(std::string_view genre);

}  // namespace oruvel
