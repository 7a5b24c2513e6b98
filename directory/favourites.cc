#include "directory/favourites.h"

#include "plugin/directory_host.h"

namespace oruvel {

std::string tuneInPrefix() { return "http://" + directoryHost() + "/sbin/tunein-station.pls?id="; }

std::string favouriteRecord(std::string_view name, std::string_view id) {
  // The layout of "%s %s\"%s\"\n%s\"%s%s%s\"/>\n".
  std::string record;
  record.append("<station").append(" ").append("name=").append("\"").append(name).append("\"\n");
  record.append("url=").append("\"").append(tuneInPrefix()).append(id);
  record.append("&amp;filename=playlist.pls").append("\"/>\n");
  return record;
}

bool appendFavourite(std::FILE* file, std::string_view name, std::string_view id) {
  std::string record = favouriteRecord(name, id);
  if (std::fwrite(record.data(), 1, record.size(), file) != record.size()) return false;
  return std::fflush(file) == 0;
}

}  // namespace oruvel
