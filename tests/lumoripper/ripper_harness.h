#pragma once
// The test radio server (icy_test_server.py) and a lumoripper process under
// a test's own root, for tests that watch the ripper from outside.
#include <sys/types.h>

#include <string>
#include <vector>

#include "tests/support/temp_root.h"

namespace rippertest {

// The test server on a free loopback port, stopped when the object goes.
class RadioServer {
 public:
  explicit RadioServer(const std::string& logDir);
  ~RadioServer();
  RadioServer(const RadioServer&) = delete;
  RadioServer& operator=(const RadioServer&) = delete;

  // Sets what /name plays (JSON, see the script).
  void plan(const std::string& name, const std::string& json) const;
  std::string url(const std::string& name) const;
  // Every audio byte sent on /name so far.
  std::string sent(const std::string& name) const;
  int port() const { return port_; }

 private:
  std::string logDir_;
  pid_t pid_ = -1;
  int port_ = 0;
};

// One lumoripper process, its standard error kept in a file.
class RipperProcess {
 public:
  // fileSizeLimit > 0: no file the ripper writes may grow beyond it (a full disk).
  RipperProcess(const testsupport::TempRoot& root, const std::vector<std::string>& args,
                long fileSizeLimit = 0);
  ~RipperProcess();  // kills it if still running
  RipperProcess(const RipperProcess&) = delete;
  RipperProcess& operator=(const RipperProcess&) = delete;

  pid_t pid() const { return pid_; }
  // Waits for the exit; the exit status, or -1 after the time-out (then killed).
  int wait(double seconds);
  // The exit status once it has ended (reaped, never killed later); -2 while running.
  int poll();
  void signal(int sig) const;
  std::string err() const;

 private:
  pid_t pid_ = -1;
  std::string errPath_;
};

// Runs lumoripper to its end (at most `seconds`).
struct RipperRun {
  int status;
  std::string err;
};
RipperRun runRipper(const testsupport::TempRoot& root, const std::vector<std::string>& args,
                    int seconds = 30);

// Polls until `done` holds or `seconds` pass.
template <typename F>
bool waitFor(F done, double seconds);

// Whether `text` has the shape of `pattern`: "#" is one digit, "+" one or
// more digits, anything else stands for itself.
bool hasShape(const std::string& text, const std::string& pattern);

// Files directly in `dir`, sorted by name.
std::vector<std::string> filesIn(const std::string& dir);

// The path of the test radio server script.
const char* serverScript();
const char* ripperBinary();

}  // namespace rippertest

#include <chrono>
#include <thread>

template <typename F>
bool rippertest::waitFor(F done, double seconds) {
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(static_cast<long>(seconds * 1000));
  while (!done()) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}
