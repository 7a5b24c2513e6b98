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

// Genre file lines for the given names, in order (keys 3, 4, ...).
inline std::string genreFile(const std::vector<std::string>& names) {
  std::string text = "<?xml version=\"1.0\"?>\n<genrelist>\n";
  for (const auto& n : names) text += "<genre name=\"" + n + "\"></genre>\n";
  return text + "</genrelist>\n";
}

class Session {
 public:
  explicit Session(const std::vector<std::string>& genres = {"Rock", "Metal", "Jazz"},
                   const std::vector<std::string>& standinOptions = {},
                   const std::string& extraConfig = "")
      : standin(standinOptions), paths(testsupport::writeStandardConfig(root, extraConfig)) {
    testsupport::writeFile(paths.genres, genreFile(genres));
  }

  // Runs the script with the directory pointed at the stand-in. The host
  // runs in the root, so a command slipped onto a command line would leave
  // its files there.
  RunResult run(const std::string& script, std::vector<std::string> args = {}) const {
    args.insert(args.begin(), {"--directory", standin.address()});
    char* here = getcwd(nullptr, 0);
    if (chdir(root.path().c_str()) != 0) return {};
    RunResult r = testsupport::runHost(root, script, args, 120);
    if (here && chdir(here) != 0) r.exitCode = -2;
    free(here);
    return r;
  }

  // The decoded genres (or ids) the stand-in was asked for, in order.
  std::vector<std::string> requested(const std::string& path) const {
    std::vector<std::string> out;
    std::istringstream in(standin.requestLog());
    std::string line;
    while (std::getline(in, line)) {
      std::size_t tab = line.find('\t');
      if (line.rfind(path, 0) == 0 && tab != std::string::npos) out.push_back(line.substr(tab + 1));
    }
    return out;
  }
  std::vector<std::string> genresRequested() const { return requested("/sbin/newxml.phtml"); }
  std::vector<std::string> idsRequested() const { return requested("/sbin/tunein-station.pls"); }
  std::string streamUrl(const std::string& id) const {
    return "http://" + standin.address() + "/stream/" + id;
  }

  testsupport::TempRoot root;
  testsupport::StandIn standin;
  testsupport::ConfigPaths paths;
};

// Script lines that open the genre selector (its highlight starts on the
// current entry, `from`) and choose the entry with key `to`.
inline std::string chooseGenre(int to, int from) {
  std::string s = "key ok\n";
  for (int k = from; k > to; --k) s += "key up\n";
  for (int k = from; k < to; ++k) s += "key down\n";
  return s + "key ok\n";
}

// The main window dumps of a transcript, in order, each a list of lines.
inline std::vector<std::vector<std::string>> mainDumps(const std::string& out) {
  std::vector<std::vector<std::string>> dumps;
  std::istringstream in(out);
  std::string line;
  bool inside = false;
  while (std::getline(in, line)) {
    if (line.rfind("window eWindow \"Oruvel V0.2", 0) == 0) {
      dumps.emplace_back();
      inside = true;
    } else if (line.rfind("  ", 0) != 0) {
      inside = false;
    }
    if (inside) dumps.back().push_back(line);
  }
  return dumps;
}

// The text="..." of the dump line that holds `where` (such as a position).
inline std::string textOf(const std::vector<std::string>& dump, const std::string& where) {
  for (const auto& line : dump) {
    if (line.find(where) == std::string::npos) continue;
    std::size_t at = line.find(" text=\"");
    if (at == std::string::npos) return "<no text>";
    at += 7;
    std::size_t end = at;
    while (end < line.size() && line[end] != '"') end += line[end] == '\\' ? 2 : 1;
    return line.substr(at, end - at);
  }
  return "<no " + where + ">";
}

// The main window's labels by their positions.
inline std::string listStatus(const std::vector<std::string>& d) { return textOf(d, "pos=(10,50)"); }
inline std::string stationInfo(const std::vector<std::string>& d) { return textOf(d, "pos=(10,310)"); }
inline std::string playStatus(const std::vector<std::string>& d) { return textOf(d, "pos=(130,350)"); }
inline std::string ripStatus(const std::vector<std::string>& d) { return textOf(d, "pos=(130,390)"); }

// The entries of the station list box: `entry key=N "text"` lines.
inline std::vector<std::string> stationEntries(const std::vector<std::string>& dump) {
  std::vector<std::string> entries;
  bool inList = false;
  for (const auto& line : dump) {
    if (line.rfind("  eListBox ", 0) == 0) {
      inList = true;
      continue;
    }
    if (inList && line.rfind("    entry ", 0) == 0) {
      std::string e = line.substr(4);
      std::size_t mark = e.find(" *");
      entries.push_back(mark == std::string::npos ? e : e.substr(0, mark));
    } else if (inList) {
      break;
    }
  }
  return entries;
}

// Which widget has the focus, by its dump line's start ("eListBox", ...).
inline std::string focused(const std::vector<std::string>& dump) {
  for (const auto& line : dump)
    if (line.find("*focus*") != std::string::npos) {
      std::size_t start = line.find_first_not_of(' ');
      return line.substr(start, line.find(' ', start) - start) +
             (line.find("pos=(10,350)") != std::string::npos ? ":play" : "");
    }
  return "<none>";
}

}  // namespace directorytest
