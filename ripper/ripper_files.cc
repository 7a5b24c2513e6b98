#include "ripper/ripper_files.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "base/fixed_paths.h"
#include "base/fs_root.h"
#include "base/shell.h"

namespace oruvel::ripper {

Probe probe() {
  std::string probeFile = rootedPath(paths::kLumoPidProbe);
  runShell(std::string("pidof ") + kProcessName + " > " + shellQuote(probeFile));
  std::FILE* file = std::fopen(probeFile.c_str(), "r");
  if (!file) return Probe::unknown;
  int first = std::getc(file);
  bool readFailed = first == EOF && std::ferror(file);
  std::fclose(file);
  if (readFailed) return Probe::unknown;
  // pidof writes a bare newline on some systems and nothing at all on
  // others when no process matches; both mean no ripper.
  if (first == '\n' || first == EOF) {
    removePidFile();
    return Probe::none;
  }
  return Probe::running;
}

PidFile readPidFile(char (&pidText)[7]) {
  pidText[0] = '\0';
  std::FILE* file = std::fopen(rootedPath(paths::kLumoPid).c_str(), "r");
  if (!file) return PidFile::missing;
  int c;
  do c = std::getc(file);
  while (c == ' ' || c == '\t');
  std::size_t n = 0;
  bool tooLong = false;
  while (c != EOF && !std::isspace(c)) {
    if (n < sizeof pidText - 1)
      pidText[n++] = static_cast<char>(c);
    else
      tooLong = true;
    c = std::getc(file);
  }
  pidText[n] = '\0';
  std::fclose(file);
  if (n == 0 || tooLong) return PidFile::invalid;
  for (std::size_t i = 0; i < n; ++i)
    if (!std::isdigit(static_cast<unsigned char>(pidText[i]))) return PidFile::invalid;
  return PidFile::valid;
}

bool isRunningRipper(const char* pidText) {
  std::size_t n = std::strlen(pidText);
  if (n == 0 || n > 6 || pidText[0] == '0') return false;
  for (std::size_t i = 0; i < n; ++i)
    if (!std::isdigit(static_cast<unsigned char>(pidText[i]))) return false;
  // The live process table, not a file under the root: "PID (name) S ...".
  std::ifstream stat(std::string("/proc/") + pidText + "/stat");
  std::string text;
  if (!std::getline(stat, text)) return false;
  std::size_t open = text.find(" (");
  std::size_t close = text.rfind(") ");
  if (open == std::string::npos || close == std::string::npos || close < open) return false;
  std::string name = text.substr(open + 2, close - open - 2);
  char state = close + 2 < text.size() ? text[close + 2] : '?';
  // A ripper that has already ended but not been reaped is no target.
  return name == kProcessName && state != 'Z' && state != 'X';
}

std::string killCommand(const char* pidText) { return std::string("kill ") + pidText; }

void removePidFile() { std::remove(rootedPath(paths::kLumoPid).c_str()); }

bool readProgressLine(char (&line)[256]) {
  std::FILE* file = std::fopen(rootedPath(paths::kLumoRip).c_str(), "r");
  if (!file) return false;
  char piece[sizeof line];
  std::size_t n = 0;
  int c;
  while (n < sizeof piece - 1 && (c = std::getc(file)) != EOF) {
    piece[n++] = static_cast<char>(c);
    if (c == '\n') break;
  }
  std::fclose(file);
  if (n > 0) {
    std::memcpy(line, piece, n);
    line[n] = '\0';
  }
  return true;
}

}  // namespace oruvel::ripper
