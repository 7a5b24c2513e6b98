#include "directory/directory_download.h"

#include "plugin/directory_host.h"
#include "plugin/fixed_paths.h"
#include "plugin/fs_root.h"
#include "plugin/shell.h"

namespace oruvel {

std::string directoryPageUrl(std::string_view genre) {
  return "http://" + directoryHost() + "/sbin/newxml.phtml?genre=" + urlEncode(genre);
}

std::string directoryPageCommand(std::string_view genre) {
  return std::string("wget ") + kWgetBounds + " -O - " + shellQuote(directoryPageUrl(genre)) +
         " >" + shellQuote(rootedPath(paths::kLumoNet));
}

}  // namespace oruvel
