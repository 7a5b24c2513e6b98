#pragma once
// Shared pieces of the plug-in tests: a stand-in ripper process of the
// test's own, and the transcript read back as boxes and screen dumps.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/host_run.h"
#include "tests/support/temp_root.h"

namespace plugintest {

inline std::string readProcFile(pid_t pid, const char* what) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/" + what);
  std::string text;
  std::getline(in, text);
  return text;
}

// A process named lumoripper that only sleeps: a copy of sleep under the
// test's root. The test started it, so the test may end it.
class StandInRipper {
 public:
  explicit StandInRipper(const testsupport::TempRoot& root) {
    std::string dir = root.path() + "/bin";
    std::filesystem::create_directories(dir);
    std::string program = dir + "/lumoripper";
    std::filesystem::copy_file("/bin/sleep", program,
                               std::filesystem::copy_options::overwrite_existing);
    chmod(program.c_str(), 0755);
    pid_ = fork();
    if (pid_ == 0) {
      execl(program.c_str(), "lumoripper", "120", static_cast<char*>(nullptr));
      _exit(127);
    }
    for (int i = 0; i < 200 && readProcFile(pid_, "comm") != "lumoripper"; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ~StandInRipper() {
    if (alive()) kill(pid_, SIGKILL);
    if (!reaped_) waitpid(pid_, nullptr, 0);
  }
  StandInRipper(const StandInRipper&) = delete;
  StandInRipper& operator=(const StandInRipper&) = delete;

  pid_t pid() const { return pid_; }
  std::string pidText() const { return std::to_string(pid_); }
  // Still running (an ended one is reaped here).
  bool alive() {
    if (reaped_) return false;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      reaped_ = true;
      endSignal_ = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
      return false;
    }
    return true;
  }
  // The signal that ended it (0: still running or ended by itself).
  int endSignal() {
    alive();
    return endSignal_;
  }

 private:
  pid_t pid_ = -1;
  bool reaped_ = false;
  int endSignal_ = 0;
};

// The standard configuration with a small genre file, so that a run
// shows no box unless the test asks for one.
inline testsupport::ConfigPaths writeWorld(const testsupport::TempRoot& root,
                                           const std::string& extraLines = "") {
  auto paths = testsupport::writeStandardConfig(root, extraLines);
  testsupport::writeFile(paths.genres, "<genre name=\"Pop\"></genre>\n<genre name=\"Rock\"></genre>\n");
  return paths;
}

// The transcript's message box lines: caption, flags and text as the host
// writes them, e.g. msgbox "Oruvel" flags=0x23 "text".
inline std::vector<std::string> boxes(const testsupport::RunResult& run) {
  return run.linesWith("msgbox \"");
}
inline std::string box(const char* caption, const char* flags, const std::string& escapedText) {
  return std::string("msgbox \"") + caption + "\" flags=" + flags + " \"" + escapedText + "\"";
}

// Every `dump` of the script as one block of lines.
inline std::vector<std::string> dumps(const testsupport::RunResult& run) {
  std::vector<std::string> blocks;
  std::istringstream in(run.out);
  std::string line;
  bool inside = false;
  while (std::getline(in, line)) {
    bool windowLine = line.rfind("window ", 0) == 0;
    bool childLine = !line.empty() && line[0] == ' ';
    if (windowLine && !inside) blocks.emplace_back();
    if (windowLine || (inside && childLine)) {
      blocks.back() += line + "\n";
      inside = true;
    } else {
      inside = false;
    }
  }
  return blocks;
}

// The one dump line that holds `needle` ("" when none or several do).
inline std::string lineWith(const std::string& block, const std::string& needle) {
  std::istringstream in(block);
  std::string line, found;
  int count = 0;
  while (std::getline(in, line))
    if (line.find(needle) != std::string::npos) {
      found = line;
      ++count;
    }
  return count == 1 ? found : "";
}

}  // namespace plugintest
