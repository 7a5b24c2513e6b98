#include "ripper/ripper_files.h"

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

#include "base/fixed_paths.h"
#include "base/fixed_text.h"
#include "base/piece_reader.h"
#include "base/fs_root.h"
#include "base/read_bounds.h"
#include "base/regular_file.h"
#include "base/shell.h"

namespace oruvel::ripper {

Probe probe() {
  std::string probeFile = rootedPath(paths::kLumoPidProbe);
  runShellInto(std::string("pidof ") + kProcessName, probeFile);
  std::FILE* file = openRegularFile(probeFile.c_str(), "r");
  if (!file) return Probe::unknown;
  int first = std::getc(file);
  bool readFailed = first == EOF && std::ferror(file);
  std::fclose(file);
  if (readFailed) return Probe::unknown;
  // pidof writes a bare newline on some systems and nothing at all on
  // others when no process matches; both mean no ripper.
  if (first == '\n' || first == EOF) {
    // Both files say a ripper is at work; a progress file left behind
    // would keep the window on "Stop" and an old progress line for ever.
    removePidFile();
    std::remove(rootedPath(paths::kLumoRip).c_str());
    return Probe::none;
  }
  return Probe::running;
}

PidFile readPidFile(char (&pidText)[7]) {
  pidText[0] = '\0';
  std::FILE* file = openRegularFile(rootedPath(paths::kLumoPid).c_str(), "r");
  if (!file) return PidFile::missing;
  char text[bounds::kPidFileBytes];
  std::size_t size = std::fread(text, 1, sizeof text, file);
  std::fclose(file);
  std::size_t at = 0;
  while (at < size && (text[at] == ' ' || text[at] == '\t')) ++at;
  std::size_t n = 0;
  bool tooLong = false;
  for (; at < size && !std::isspace(static_cast<unsigned char>(text[at])); ++at) {
    if (n < sizeof pidText - 1)
      pidText[n++] = text[at];
    else
      tooLong = true;
  }
  pidText[n] = '\0';
  if (n == 0 || tooLong) return PidFile::invalid;
  for (std::size_t i = 0; i < n; ++i)
    if (!std::isdigit(static_cast<unsigned char>(pidText[i]))) return PidFile::invalid;
  return PidFile::valid;
}

namespace {

// Whether process `pid` lives (and its name), from the live process table,
// not a file under the root: "PID (name) S ...". A process that has ended
// but not been reaped does not live.
bool liveProcess(const std::string& pid, std::string* name = nullptr) {
  std::ifstream stat("/proc/" + pid + "/stat");
  std::string text;
  if (!std::getline(stat, text)) return false;
  std::size_t open = text.find(" (");
  std::size_t close = text.rfind(") ");
  if (open == std::string::npos || close == std::string::npos || close < open) return false;
  if (name) *name = text.substr(open + 2, close - open - 2);
  char state = close + 2 < text.size() ? text[close + 2] : '?';
  return state != 'Z' && state != 'X';
}

}  // namespace

bool isRunningRipper(const char* pidText) {
  std::size_t n = std::strlen(pidText);
  if (n == 0 || n > 6 || pidText[0] == '0') return false;
  for (std::size_t i = 0; i < n; ++i)
    if (!std::isdigit(static_cast<unsigned char>(pidText[i]))) return false;
  std::string name;
  return liveProcess(pidText, &name) && name == kProcessName;
}

namespace {

// Polls `done` until it holds or the wait is over; what `done` says last.
template <class Done>
bool waitUntil(Done done, const Clock& nowMs) {
  const std::int64_t until = nowMs() + kWaitMs;
  const auto guard = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitGuardMs);
  for (;;) {
    if (done()) return true;
    if (nowMs() >= until || std::chrono::steady_clock::now() >= guard) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

}  // namespace

bool awaitAnnouncement(long started, const Clock& nowMs) {
  bool announced = false;
  waitUntil(
      [&] {
        char pid[7];
        announced = readPidFile(pid) != PidFile::missing;
        // A ripper that could not start, or failed at once, never announces itself.
        return announced || (started > 0 && !liveProcess(std::to_string(started)));
      },
      nowMs);
  return announced;
}

bool awaitEnd(const char* pidText, const Clock& nowMs) {
  return waitUntil([&] { return !liveProcess(pidText); }, nowMs);
}

std::string killCommand(const char* pidText) { return std::string("kill ") + pidText; }

void removePidFile() { std::remove(rootedPath(paths::kLumoPid).c_str()); }

bool readProgressLine(char (&line)[256]) {
  std::FILE* file = openRegularFile(rootedPath(paths::kLumoRip).c_str(), "r");
  if (!file) return false;
  PieceReader reader(file, sizeof line);
  std::string_view piece;
  if (reader.next(piece)) copyBounded(line, piece);
  std::fclose(file);
  return true;
}

}  // namespace oruvel::ripper
