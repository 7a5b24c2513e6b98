#pragma once
// One world for the plug-in driven through oruvel-host --script: a fresh
// root with the standard configuration and a genre file, the stand-in
// directory on loopback, and the transcript read back as boxes and dumps.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/host_run.h"
#include "tests/support/wait.h"

namespace world {

using testsupport::RunResult;
using Lines = std::vector<std::string>;
namespace fs = std::filesystem;

inline std::string procText(pid_t pid, const char* what) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/" + what, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// How many processes have `text` (an address, a root) on their command line.
inline int processesNaming(const std::string& text) {
  int n = 0;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator("/proc", ec)) {
    const std::string name = e.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::string cmdline = procText(std::atoi(name.c_str()), "cmdline");
    if (cmdline.find(text) != std::string::npos) ++n;
  }
  return n;
}

using testsupport::waitFor;

// Every dumped window, each as its lines.
inline std::vector<Lines> dumps(const RunResult& r) {
  std::vector<Lines> out;
  std::istringstream in(r.out);
  std::string line;
  bool inside = false;
  while (std::getline(in, line)) {
    if (line.rfind("window ", 0) == 0) out.emplace_back(), inside = true;
    else if (line.rfind(" ", 0) != 0) inside = false;
    if (inside) out.back().push_back(line);
  }
  return out;
}

class Session {
 public:
  explicit Session(const Lines& genres = {"Rock", "Metal", "Jazz"}, const Lines& standinOptions = {})
      : standin(standinOptions), paths(testsupport::writeStandardConfig(root)) {
    std::string file = "<genrelist>\n";
    for (const auto& g : genres) file += "<genre name=\"" + g + "\"></genre>\n";
    testsupport::writeFile(paths.genres, file + "</genrelist>\n");
    // pidof and killall first on the host's PATH see only the rippers with
    // this root in their environment, so a run never counts or stops a
    // ripper of another test or of anyone else.
    std::string guard = root.path() + "/guard";
    testsupport::writeFile(guard + "/pidof", R"(#!/bin/sh
for real in /usr/bin/pidof /bin/pidof /usr/sbin/pidof /sbin/pidof; do [ -x "$real" ] && break; done
for p in $("$real" "$@"); do
  tr '\000' '\n' </proc/$p/environ 2>/dev/null | grep -qxF "ORUVEL_ROOT=$ORUVEL_ROOT" && pids="$pids $p"
done
case "$0" in
  */pidof) echo $pids ;;
  *) for p in $pids; do kill "$p"; done ;;
esac
)");
    chmod((guard + "/pidof").c_str(), 0755);
    fs::create_symlink("pidof", guard + "/killall");
    const char* path = std::getenv("PATH");
    pathEnv_ = "PATH=" + guard + ":" + (path ? path : "/usr/bin:/bin");
  }

  // Runs the host on `script` in the root, so a command slipped onto a
  // command line leaves its files there, with the directory at the
  // stand-in and `prefix` before its command line (a wrapper such as a
  // size limit). Expects a clean end with `windows` dumps; they come back
  // (blank ones for any missing), the transcript stays in `last`.
  std::vector<Lines> play(const std::string& script, std::size_t windows, const Lines& args = {},
                          const Lines& prefix = {}) {
    Lines argv = {"/bin/sh", "-c", "cd \"$0\" && exec \"$@\"", root.path()};
    argv.insert(argv.end(), prefix.begin(), prefix.end());
    for (const char* a : {testsupport::hostBinary(), "--root", root.path().c_str(), "--plugin",
                                 testsupport::pluginPath(), "--script", "-", "--directory", standin.address().c_str()})
      argv.push_back(a);
    argv.insert(argv.end(), args.begin(), args.end());
    auto start = std::chrono::steady_clock::now();
    last = testsupport::runProgram(argv, script, 120, {pathEnv_});
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(last.exitCode, 0) << last.err;
    std::vector<Lines> d = dumps(last);
    EXPECT_EQ(d.size(), windows) << last.out;
    d.resize(std::max(d.size(), windows));
    return d;
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
  std::string streamUrl(const std::string& id) const { return "http://" + standin.address() + "/stream/" + id; }
  // The stand-in's station as the local station file holds it.
  std::string record(const std::string& name, const std::string& id) const {
    return "<station name=\"" + name + "\"\nurl=\"http://" + standin.address() + "/sbin/tunein-station.pls?id=" +
           id + "&amp;filename=playlist.pls\"/>\n";
  }
  void writeLocalStation() const {
    testsupport::writeFile(paths.stations, "<stationlist>\n" + record("Fault Test Station", "1001"));
  }

  testsupport::TempRoot root;
  testsupport::StandIn standin;
  testsupport::ConfigPaths paths;
  RunResult last;
  double seconds = 0;  // how long the last run took

 private:
  std::string pathEnv_;
};

// Opens the genre selector (its highlight on the current entry `from`)
// and chooses the entry with key `to`.
inline std::string chooseGenre(int to, int from) {
  std::string s = "key ok\n";
  for (int k = from; k != to; k += to < from ? -1 : 1) s += to < from ? "key up\n" : "key down\n";
  return s + "key ok\n";
}
// The local station file (key 2 of the default genres), its station, OK.
inline std::string tuneInLocalStation() { return chooseGenre(2, 5) + "key down\nkey ok\n"; }

// A process named lumoripper under the session's root that only sleeps:
// the test started it, so the test may end it.
class SleepingRipper {
 public:
  explicit SleepingRipper(const Session& s) {
    std::string program = s.root.path() + "/bin/lumoripper", env = "ORUVEL_ROOT=" + s.root.path();
    fs::create_directories(s.root.path() + "/bin");
    fs::copy_file("/bin/sleep", program, fs::copy_options::overwrite_existing);
    chmod(program.c_str(), 0755);
    pid_ = fork();
    if (pid_ == 0) {
      char* envp[] = {env.data(), nullptr};
      execle(program.c_str(), "lumoripper", "120", static_cast<char*>(nullptr), envp);
      _exit(127);
    }
    waitFor([&] { return procText(pid_, "comm") == "lumoripper\n"; }, 2);
  }
  ~SleepingRipper() {
    if (alive()) kill(pid_, SIGKILL);
    if (!reaped_) waitpid(pid_, nullptr, 0);
  }
  std::string pidText() const { return std::to_string(pid_); }
  bool alive() {
    if (!reaped_ && waitpid(pid_, &status_, WNOHANG) == pid_) reaped_ = true;
    return !reaped_;
  }
  // The signal that ended it (0: still running or ended by itself).
  int endSignal() { return !alive() && WIFSIGNALED(status_) ? WTERMSIG(status_) : 0; }

 private:
  pid_t pid_ = -1;
  bool reaped_ = false;
  int status_ = 0;
};

// A live lumoripper under this root: only such a process is ours to signal.
inline bool ourRipper(pid_t pid, const testsupport::TempRoot& root) {
  std::string stat = procText(pid, "stat");
  return pid > 1 && stat.find("(lumoripper) ") != std::string::npos &&
         stat.find("(lumoripper) Z") == std::string::npos &&
         procText(pid, "environ").find("ORUVEL_ROOT=" + root.path() + '\0') != std::string::npos;
}

// The regular files below `dir`: path relative to it, and size.
inline std::vector<std::pair<std::string, std::uintmax_t>> recordings(const std::string& dir) {
  std::vector<std::pair<std::string, std::uintmax_t>> out;
  std::error_code ec;
  for (auto& e : fs::recursive_directory_iterator(dir, ec))
    if (e.is_regular_file()) out.emplace_back(fs::relative(e.path(), dir).string(), e.file_size());
  return out;
}

// The transcript's message boxes as the host writes them.
inline Lines boxes(const RunResult& r) { return r.linesWith("msgbox \""); }
inline std::string box(const char* caption, const char* flags, const std::string& escapedText) {
  return std::string("msgbox \"") + caption + "\" flags=" + flags + " \"" + escapedText + "\"";
}
inline std::string info(const std::string& escapedText) { return box("Oruvel-Information", "0x21", escapedText); }

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
inline std::string ripButton(const Lines& d) { return textOf(d, "pos=(10,390)"); }
inline bool focusedAt(const Lines& d, const std::string& where) {
  return lineOf(d, where).find("*focus*") != std::string::npos;
}
const std::string kGenreCombo = "pos=(80,10)", kStationList = "pos=(10,80)", kPlay = "pos=(10,350)";

// The station list box's entries as `key=N "text"`.
inline Lines stationEntries(const Lines& dump) {
  Lines entries;
  bool inList = false;
  for (const auto& line : dump) {
    if (line.rfind("    entry ", 0) == 0 && inList) entries.push_back(line.substr(10, line.find(" *") - 10));
    else inList = line.rfind("  eListBox ", 0) == 0;
  }
  return entries;
}

}  // namespace world
