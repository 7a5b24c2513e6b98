#include "directory/directory_download.h"

#include "base/directory_host.h"
#include "base/fixed_paths.h"
#include "base/fs_root.h"
#include "base/shell.h"

namespace oruvel {

std::string wgetToStdout(const std::string& url) {
  return std::string("wget ") + kWgetBounds + " -O - " + shellQuote(url);
}

std::string directoryPageUrl(std::string_view genre) {
  return "http://" + directoryHost() + "/sbin/newxml.phtml?genre=" + urlEncode(genre);
}

std::string directoryPageCommand(std::string_view genre) {
  return wgetToStdout(directoryPageUrl(genre)) + " >" + shellQuote(rootedPath(paths::kLumoNet));
}

}  // namespace oruvel
