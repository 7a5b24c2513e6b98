#include "directory/tune_in.h"

#include <cstdio>

#include "directory/directory_download.h"
#include "base/directory_host.h"
#include "base/fixed_paths.h"
#include "base/fixed_text.h"
#include "base/piece_reader.h"
#include "base/fs_root.h"
#include "base/read_bounds.h"
#include "base/regular_file.h"
#include "base/shell.h"

int OpenPlayList(oruvel::TuneIn& tuneIn) {
  char(&playlist_string)[256] = tuneIn.playlist_string;
  std::FILE* file = oruvel::openRegularFile(oruvel::rootedPath(oruvel::paths::kLumoList).c_str(), "r+");
  if (!file) return 1;
  // Read more than fits, so a longer line is told apart from one that fits.
  oruvel::PieceReader reader(file, 2 * sizeof playlist_string);
  std::string_view line;
  bool read = reader.next(line);
  std::fclose(file);
  if (!read) return 1;
  line = oruvel::stripLineEnd(line);
  if (line.size() >= sizeof playlist_string) return 1;
  oruvel::copyBounded(playlist_string, line);
  return 0;
}

namespace oruvel {

std::string playlistUrl(std::string_view id) {
  return "http://" + directoryHost() + "/sbin/tunein-station.pls?id=" + urlEncode(id);
}

std::string playlistCommand(std::string_view id) {
  return boundedDownload(playlistUrl(id), bounds::kPlaylistBytes) + " |grep File|sed 's/^.*http/http/'";
}

void downloadPlaylist(std::string_view id) { runShellInto(playlistCommand(id), rootedPath(paths::kLumoList)); }

bool resolveStreamStrings(TuneIn& tuneIn, const Config& config) {
  tuneIn.ripp_stream[0] = '\0';
  tuneIn.playlist_string[0] = '\0';
  if (OpenPlayList(tuneIn) != 0) return false;
  std::string_view url = fixedView(tuneIn.playlist_string);
  std::string play = std::string(kStreamPrefix).append(url);
  std::string ripp = std::string(fixedView(config.RIPPER)) + " " + std::string(url) + " -d " +
                     std::string(fixedView(config.RIPDIR));
  if (play.size() >= sizeof tuneIn.play_stream || ripp.size() >= sizeof tuneIn.ripp_stream) {
    // A cut URL would be a wrong address: as good as no playlist.
    tuneIn.playlist_string[0] = '\0';
    return false;
  }
  copyBounded(tuneIn.play_stream, play);
  copyBounded(tuneIn.ripp_stream, ripp);
  return true;
}

}  // namespace oruvel
