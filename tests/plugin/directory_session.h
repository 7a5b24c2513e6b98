#pragma once
// One run of the plug-in against the stand-in directory: a fresh root with
// the standard configuration and a genre file, the stand-in on loopback,
// and readers for the host's dumps.
#include <unistd.h>

#include <sstream>
#include <string>
#include <vector>

#include "tests/support/host_run.h"

namespace directorytest {

using testsupport::RunResult;
using Lines = std::vector<std::string>;

class Session {
 public:
  explicit Session(const Lines& genres = {"Rock", "Metal", "Jazz"}, const Lines& standinOptions = {},
                   const std::string& extraConfig = "")
      : standin(standinOptions), paths(testsupport::writeStandardConfig(root, extraConfig)) {
    std::string file = "<genrelist>\n";
    for (const auto& g : genres) file += "<genre name=\"" + g + "\"></genre>\n";
    testsupport::writeFile(paths.genres, file + "</genrelist>\n");
  }

  // Runs the script with the directory at the stand-in, in the root, so a
  // command slipped onto a command line would leave its files there.
  RunResult run(const std::string& script, Lines args = {}) const {
    args.insert(args.begin(), {"--directory", standin.address()});
    char* here = getcwd(nullptr, 0);
    RunResult r;
    if (chdir(root.path().c_str()) == 0) r = testsupport::runHost(root, script, args, 120);
    if (!here || chdir(here) != 0) r.exitCode = -2;
    free(here);
    return r;
  }

  // The decoded genres (page) or ids (playlist) asked for, in order.
  Lines requested(const std::string& path) const {
    Lines out;
    std::istringstream in(standin.requestLog());
    std::string line;
    while (std::getline(in, line))
      if (line.rfind(path, 0) == 0) out.push_back(line.substr(line.find('\t') + 1));
    return out;
  }
  Lines genresRequested() const { return requested("/sbin/newxml.phtml"); }
  Lines idsRequested() const { return requested("/sbin/tunein-station.pls"); }
  std::string streamUrl(const std::string& id) const {
    return "http://" + standin.address() + "/stream/" + id;
  }

  testsupport::TempRoot root;
  testsupport::StandIn standin;
  testsupport::ConfigPaths paths;
};

// Opens the genre selector (its highlight starts on the current entry,
// `from`) and chooses the entry with key `to`.
inline std::string chooseGenre(int to, int from) {
  std::string s = "key ok\n";
  for (int k = from; k != to; k += to < from ? -1 : 1) s += to < from ? "key up\n" : "key down\n";
  return s + "key ok\n";
}

// The main window's dumps in a transcript, each as its lines.
inline std::vector<Lines> mainDumps(const std::string& out) {
  std::vector<Lines> dumps;
  std::istringstream in(out);
  std::string line;
  bool inside = false;
  while (std::getline(in, line)) {
    if (line.rfind("window eWindow \"Oruvel V0.2", 0) == 0) dumps.emplace_back(), inside = true;
    else if (line.rfind("  ", 0) != 0) inside = false;
    if (inside) dumps.back().push_back(line);
  }
  return dumps;
}

// The dump line that holds `where`, such as a position.
inline std::string lineOf(const Lines& dump, const std::string& where) {
  for (const auto& line : dump)
    if (line.find(where) != std::string::npos) return line;
  return "";
}

// The text="..." of the widget at `where`, still escaped.
inline std::string textOf(const Lines& dump, const std::string& where) {
  std::string line = lineOf(dump, where);
  std::size_t at = line.find(" text=\"");
  if (at == std::string::npos) return "<no widget at " + where + ">";
  std::size_t end = at += 7;
  while (end < line.size() && line[end] != '"') end += line[end] == '\\' ? 2 : 1;
  return line.substr(at, end - at);
}

inline std::string listStatus(const Lines& d) { return textOf(d, "pos=(10,50)"); }
inline std::string stationInfo(const Lines& d) { return textOf(d, "pos=(10,310)"); }
inline std::string playStatus(const Lines& d) { return textOf(d, "pos=(130,350)"); }
inline std::string ripStatus(const Lines& d) { return textOf(d, "pos=(130,390)"); }
inline bool focusedAt(const Lines& d, const std::string& where) {
  return lineOf(d, where).find("*focus*") != std::string::npos;
}
const std::string kGenreCombo = "pos=(80,10)", kStationList = "pos=(10,80)", kPlay = "pos=(10,350)";

// The station list box's entries as `key=N "text"`.
inline Lines stationEntries(const Lines& dump) {
  Lines entries;
  bool inList = false;
  for (const auto& line : dump) {
    if (line.rfind("    entry ", 0) == 0 && inList) {
      std::string e = line.substr(10);
      entries.push_back(e.substr(0, e.find(" *")));
    } else {
      inList = line.rfind("  eListBox ", 0) == 0;
    }
  }
  return entries;
}

}  // namespace directorytest
