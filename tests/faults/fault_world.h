#pragma once
// Pieces the fault tests share: a local station file on the stand-in, a
// ripper wrapper with short timeouts, waiting in real time, and what a
// recording left on disk.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/plugin/directory_session.h"

namespace faulttest {

using directorytest::RunResult;
using directorytest::Session;

// Shims put first on the host's PATH: pidof and killall that see only the
// lumoripper processes running under this test's root (ORUVEL_ROOT in
// their environment), so a run never stops a ripper of another test or
// of anyone else on the machine, and never counts one as its own.
inline std::string guardPath(const testsupport::TempRoot& root) {
  std::string dir = root.path() + "/guard";
  std::filesystem::create_directories(dir);
  const std::string ours =
      "ours() {\n"
      "  for p in $(\"$real\" \"$@\"); do\n"
      "    tr '\\000' '\\n' </proc/$p/environ 2>/dev/null | grep -qxF \"ORUVEL_ROOT=$ORUVEL_ROOT\" &&\n"
      "      printf '%s ' \"$p\"\n"
      "  done\n"
      "}\n"
      "for real in /usr/bin/pidof /bin/pidof /usr/sbin/pidof /sbin/pidof; do [ -x \"$real\" ] && break; done\n";
  testsupport::writeFile(dir + "/pidof", "#!/bin/sh\n" + ours + "pids=$(ours \"$@\")\necho $pids\n");
  testsupport::writeFile(dir + "/killall",
                         "#!/bin/sh\n" + ours + "for p in $(ours \"$@\"); do kill \"$p\"; done\n");
  chmod((dir + "/pidof").c_str(), 0755);
  chmod((dir + "/killall").c_str(), 0755);
  const char* path = std::getenv("PATH");
  return "PATH=" + dir + ":" + (path ? path : "/usr/bin:/bin");
}

// Session::run with the shims on PATH; `prefix` goes before the host's
// command line (a wrapper such as a size limit).
inline RunResult run(const Session& s, const std::string& script,
                     const std::vector<std::string>& prefix = {}) {
  std::vector<std::string> argv = prefix;
  for (const std::string& a : {std::string(testsupport::hostBinary()), std::string("--root"), s.root.path(),
                               std::string("--plugin"), std::string(testsupport::pluginPath()),
                               std::string("--script"), std::string("-"), std::string("--directory"),
                               s.standin.address()})
    argv.push_back(a);
  char* here = getcwd(nullptr, 0);
  RunResult r;
  // In the root, so a command slipped onto a command line leaves its files there.
  if (chdir(s.root.path().c_str()) == 0) r = testsupport::runProgram(argv, script, 120, {guardPath(s.root)});
  if (!here || chdir(here) != 0) r.exitCode = -2;
  free(here);
  return r;
}

// The transcript's message box lines.
inline std::vector<std::string> boxesIn(const RunResult& r) { return r.linesWith("msgbox \""); }

// Waits up to `seconds` of real time for `done`.
template <class Done>
bool waitFor(Done done, double seconds) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return true;
}

inline std::string procText(pid_t pid, const char* what) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/" + what, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// A live lumoripper that runs under this test's root: only such a process
// is ours to signal.
inline bool ourRipper(pid_t pid, const testsupport::TempRoot& root) {
  if (pid <= 1) return false;
  std::string stat = procText(pid, "stat");
  if (stat.find("(lumoripper) ") == std::string::npos || stat.find("(lumoripper) Z") != std::string::npos)
    return false;
  std::string env = procText(pid, "environ");
  return env.find(std::string("ORUVEL_ROOT=") + root.path() + '\0') != std::string::npos;
}

inline pid_t pidInFile(const testsupport::TempRoot& root) {
  return static_cast<pid_t>(std::atoi(root.read("/tmp/lumopid").c_str()));
}

// The regular files below `dir` (path relative to it, and size).
struct Recorded {
  std::string path;
  std::uintmax_t size;
};
inline std::vector<Recorded> recordings(const std::string& dir) {
  std::vector<Recorded> out;
  std::error_code ec;
  for (auto& e : std::filesystem::recursive_directory_iterator(dir, ec))
    if (e.is_regular_file())
      out.push_back({std::filesystem::relative(e.path(), dir).string(), e.file_size()});
  return out;
}
inline std::uintmax_t recordedBytes(const std::string& dir) {
  std::uintmax_t total = 0;
  for (const auto& r : recordings(dir)) total += r.size;
  return total;
}

// The stand-in's station 1001 as the only station of the local station
// file (genre selector key 2).
inline void writeLocalStation(const Session& s, const std::string& id = "1001") {
  testsupport::writeFile(s.paths.stations,
                         "<stationlist>\n<station name=\"Fault Test Station\"\nurl=\"http://" +
                             s.standin.address() + "/sbin/tunein-station.pls?id=" + id +
                             "&amp;filename=playlist.pls\"/>\n");
}

// Script lines: the local station file, its station, OK (tune in).
inline std::string tuneInLocalStation() { return directorytest::chooseGenre(2, 5) + "key down\nkey ok\n"; }

// RIPPER becomes a wrapper around lumoripper with short stall and retry
// settings; it logs the ripper's standard error and exit status to
// ROOT/rip.log. The recording process is still named lumoripper.
inline std::string useQuickRipper(const Session& s, const std::string& options) {
  std::string wrapper = s.root.path() + "/bin/rip";
  std::string log = s.root.path() + "/rip.log";
  testsupport::writeFile(wrapper, "#!/bin/sh\n'" + std::string(testsupport::lumoripperBinary()) +
                                      "' \"$@\" " + options + " 2>>'" + log +
                                      "'\necho \"exit $?\" >>'" + log + "'\n");
  chmod(wrapper.c_str(), 0755);
  testsupport::writeStandardConfig(s.root, "RIPPER=" + wrapper + "\n");
  return log;
}

}  // namespace faulttest
