#include "directory/favourites.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "base/piece_reader.h"
#include "directory/line_values.h"
#include "directory/station_list.h"
#include "base/directory_host.h"

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

bool favouriteReadsBack(std::string_view name, std::string_view id) {
  if (id.find_first_of("&\"") != std::string_view::npos) return false;
  const std::string record = favouriteRecord(name, id);
  // In the local station reader's pieces, the first holds "name="; the one
  // after it gives the id when it holds "url=".
  PieceReader reader(record, kStationLineBuffer);
  std::string_view nameLine, urlLine;
  reader.next(nameLine);
  reader.next(urlLine);
  return lineHas(urlLine, "url=") && ampersandValue(urlLine, "id=").text == id;
}

bool appendFavourite(std::FILE* file, std::string_view name, std::string_view id) {
  const std::string record = favouriteRecord(name, id);
  if (std::fflush(file) != 0) return false;
  const int fd = ::fileno(file);
  struct stat before {};
  const bool sized = ::fstat(fd, &before) == 0;
  // Written past the stream's buffer, so a failed write leaves nothing
  // behind for a later flush to add.
  std::size_t done = 0;
  while (done < record.size()) {
    ssize_t n = ::write(fd, record.data() + done, record.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  if (done == record.size()) return true;
  // A full disk or a size limit cut the record: a half record would read
  // back as a station without its address, so the file goes back to the
  // records it held before.
  if (sized && done > 0 && ::ftruncate(fd, before.st_size) != 0) {
    // Nothing more to try; the caller reports the failed save.
  }
  return false;
}

}  // namespace oruvel
