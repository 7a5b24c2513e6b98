#pragma once
// The plug-in driven through oruvel-host --script from a fresh root with the
// stand-in directory on loopback; its transcript read as boxes and widgets.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include <gtest/gtest.h>

#include "tests/support/host_run.h"
#include "tests/support/sleeping_ripper.h"
#include "tests/support/wait.h"

namespace world {

using namespace testsupport;
using Lines = std::vector<std::string>;
namespace fs = std::filesystem;

inline std::string procText(pid_t pid, const char* what) {
  return readFile("/proc/" + std::to_string(pid) + "/" + what);
}

// A configuration naming the root's config folder, the built lumoripper and ROOT/music; then `extra`.
struct Paths {
  std::string conf, genres, stations, favourites, playlist, picture, ripper, ripdir;
};
inline Paths writeConfig(const TempRoot& root, const std::string& extra = "") {
  const std::string d = root.path() + "/var/tuxbox/config/oruvel/";
  Paths p{d + "oruvel.conf", d + "genre.xml", d + "stations.xml", d + "lumostations.xml", d + "playlist.m3u",
          d + "radio.mvi", lumoripperBinary(), root.path() + "/music"};
  fs::create_directories(p.ripdir);
  writeFile(p.conf, "RIPPER=" + p.ripper + "\nRIPDIR=" + p.ripdir + "\nSTATIONSFILE=" + p.stations +
                        "\nMYSTATIONFILE=" + p.favourites + "\nMYPLAYLISTFILE=" + p.playlist + "\nMYGENREFILE=" +
                        p.genres + "\nLUMOPIC=" + p.picture + "\n" + extra);
  return p;
}

class Session {
 public:
  explicit Session(const Lines& genres = {"Rock", "Metal", "Jazz"}, const Lines& standinOptions = {})
      : standin(standinOptions), paths(writeConfig(root)) {
    std::string file = "<genrelist>\n";
    for (const auto& g : genres) file += "<genre name=\"" + g + "\"></genre>\n";
    writeFile(paths.genres, file + "</genrelist>\n");
    // pidof and killall see only the rippers with this root in their
    // environment, so a run never counts or stops another test's ripper.
    fs::create_directories(root.at("/guard"));
    fs::copy_file(ORUVEL_RIPPER_GUARD, root.at("/guard/pidof"));
    fs::create_symlink("pidof", root.at("/guard/killall"));
    pathEnv_ = "PATH=" + root.at("/guard:") + (std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin");
  }

  // Runs the host on `script` from the root (where a command slipped onto a command line
  // leaves its files) after `prefix` (a wrapper). Expects a clean end and `windows` dumps,
  // returned as their lines (blank ones for any missing); the transcript stays in `last`.
  std::vector<Lines> play(const std::string& script, std::size_t windows, const Lines& args = {},
                          const Lines& prefix = {}) {
    Lines argv = {"/bin/sh", "-c", "cd \"$0\" && exec \"$@\"", root.path()};
    argv.insert(argv.end(), prefix.begin(), prefix.end());
    argv.insert(argv.end(), {hostBinary(), "--root", root.path(), "--plugin", pluginPath(), "--script", "-",
                             "--directory", standin.address()});
    argv.insert(argv.end(), args.begin(), args.end());
    last = runProgram(argv, script, 120, {pathEnv_});
    EXPECT_EQ(last.exitCode, 0) << last.err;
    std::vector<Lines> d;
    bool inside = false;
    for (const auto& line : last.linesWith("")) {
      if (line.rfind("window ", 0) == 0) d.emplace_back(), inside = true;
      else inside = inside && line.rfind(" ", 0) == 0;
      if (inside) d.back().push_back(line);
    }
    EXPECT_EQ(d.size(), windows) << last.out;
    if (d.size() < windows) d.resize(windows);
    return d;
  }

  // The decoded genres (page) or ids (playlist) asked for, in order.
  Lines requested(const std::string& path) const {
    Lines out;
    for (const auto& line : RunResult{0, standin.requestLog(), ""}.linesWith(path))
      if (line.rfind(path, 0) == 0) out.push_back(line.substr(line.find('\t') + 1));
    return out;
  }
  Lines genresRequested() const { return requested("/sbin/newxml.phtml"); }
  Lines idsRequested() const { return requested("/sbin/tunein-station.pls"); }
  std::string streamUrl(const std::string& id) const { return "http://" + standin.address() + "/stream/" + id; }
  // The stand-in's station as the local station file holds it.
  std::string record(const std::string& name, const std::string& id) const {
    return "<station name=\"" + name + "\"\nurl=\"http://" + standin.address() + "/sbin/tunein-station.pls?id=" +
           id + "&amp;filename=playlist.pls\"/>\n";
  }

  TempRoot root;
  StandIn standin;
  Paths paths;
  RunResult last;

 private:
  std::string pathEnv_;
};

inline std::string keys(const std::string& key, int n) { return n > 0 ? "key " + key + "\n" + keys(key, n - 1) : ""; }
// Opens the genre selector (highlight on entry `from`) and chooses entry `to`.
inline std::string chooseGenre(int to, int from) {
  return "key ok\n" + keys("up", from - to) + keys("down", to - from) + "key ok\n";
}

// The transcript's message boxes as the host writes them.
inline Lines boxes(const RunResult& r) { return r.linesWith("msgbox \""); }
inline std::string box(const char* caption, const char* flags, const std::string& escapedText) {
  return std::string("msgbox \"") + caption + "\" flags=" + flags + " \"" + escapedText + "\"";
}
inline std::string info(const std::string& escapedText) { return box("Oruvel-Information", "0x21", escapedText); }
const std::string kRunning = box("Oruvel", "0x23", "lumoripper is running. press OK to stopp ripping.");

// The dumped line of the widget named `name`, and its text="...", still escaped.
inline std::string lineOf(const Lines& dump, const std::string& name) {
  for (const auto& line : dump)
    if (line.find(" name=\"" + name + "\" ") != std::string::npos) return line;
  return "";
}
inline std::string text(const Lines& dump, const std::string& name) {
  const std::string line = lineOf(dump, name);
  std::size_t at = line.find(" text=\""), end = at + 7;
  if (at == std::string::npos) return "<no widget " + name + ">";
  while (end < line.size() && line[end] != '"') end += line[end] == '\\' ? 2 : 1;
  return line.substr(at + 7, end - at - 7);
}
inline bool focused(const Lines& d, const std::string& name) {
  return lineOf(d, name).find("*focus*") != std::string::npos;
}
// The red button and the ripper line beside it.
inline std::string ripLine(const Lines& d) { return text(d, "rip_button") + ": " + text(d, "rip_status"); }
inline std::string built(int n, const std::string& genre, int bitrate = 0) {
  return "building list finsihed [" + std::to_string(n) + "].   genre: " + genre + "   bitrate: " +
         std::to_string(bitrate);
}

// The station list's entries as `key=N "text"`.
inline Lines stationEntries(const Lines& dump) {
  Lines entries;
  bool inList = false;
  for (const auto& line : dump) {
    if (line.rfind("    entry ", 0) == 0 && inList) entries.push_back(line.substr(10, line.find(" *") - 10));
    else inList = line.find(" name=\"station_list\" ") != std::string::npos;
  }
  return entries;
}

}  // namespace world
