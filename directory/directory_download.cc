#include "directory/directory_download.h"

#include "base/directory_host.h"
#include "base/fixed_paths.h"
#include "base/fs_root.h"
#include "base/read_bounds.h"
#include "base/shell.h"

namespace oruvel {

std::string boundedDownload(const std::string& url, std::size_t maxBytes) {
  // KILL: wget holds nothing that needs tidying, and nothing may outlast the bound.
  return "timeout -s KILL " + std::to_string(bounds::kDownloadSeconds) + " wget -T 10 -t 2 -O - " +
         shellQuote(url) + " | head -c " + std::to_string(maxBytes);
}

std::string directoryPageUrl(std::string_view genre) {
  return "http://" + directoryHost() + "/sbin/newxml.phtml?genre=" + urlEncode(genre);
}

std::string directoryPageCommand(std::string_view genre) {
  return boundedDownload(directoryPageUrl(genre), bounds::kPageBytes);
}

void downloadDirectoryPage(std::string_view genre) {
  runShellInto(directoryPageCommand(genre), rootedPath(paths::kLumoNet));
}

}  // namespace oruvel
