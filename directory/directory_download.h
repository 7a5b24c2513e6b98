#pragma once
// The directory's station page for a genre, fetched with wget into
// /tmp/lumonet.
#include <cstddef>
#include <string>
#include <string_view>

namespace oruvel {

// The shell pipeline that writes the document at `url` to standard output,
// bounded whatever the server does: wget gives up on 10 s of silence (two
// tries), timeout ends it after bounds::kDownloadSeconds in all, and head
// passes on at most `maxBytes`. What arrived by then is the document.
std::string boundedDownload(const std::string& url, std::size_t maxBytes);

// "http://HOST/sbin/newxml.phtml?genre=" and the genre, percent-encoded so
// the directory receives exactly the text given.
std::string directoryPageUrl(std::string_view genre);

// The shell pipeline that writes the page for `genre` (at most
// bounds::kPageBytes of it) to standard output; every part that varies is
// quoted.
std::string directoryPageCommand(std::string_view genre);

// Downloads the page for `genre` as /tmp/lumonet (under the root).
void downloadDirectoryPage(std::string_view genre);

}  // namespace oruvel
