#pragma once
// The test radio server (icy_test_server.py) and lumoripper runs under a
// test's own root, for tests that watch the ripper from outside.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/host_run.h"
#include "tests/support/temp_root.h"
#include "tests/support/wait.h"

namespace rippertest {

using testsupport::waitFor;

// The files directly in `dir`: name -> content.
inline std::map<std::string, std::string> filesIn(const std::string& dir) {
  std::map<std::string, std::string> files;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(dir, ec))
    if (e.is_regular_file()) files[e.path().filename().string()] = testsupport::readFile(e.path().string());
  return files;
}

// The test server on a free loopback port, stopped when the object goes.
class RadioServer {
 public:
  explicit RadioServer(const std::string& dir) : dir_(dir) {
    std::filesystem::create_directories(dir);
    pid_ = fork();
    if (pid_ == 0) {
      execlp("python3", "python3", ICY_TEST_SERVER, dir.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    if (!waitFor([&] { return !testsupport::readFile(dir + "/port").empty(); }, 10))
      throw std::runtime_error("the test radio server did not start");
    port_ = std::stoi(testsupport::readFile(dir + "/port"));
  }
  ~RadioServer() {
    kill(pid_, SIGTERM);  // still our unreaped child: the PID is its own
    waitpid(pid_, nullptr, 0);
  }
  RadioServer(const RadioServer&) = delete;
  RadioServer& operator=(const RadioServer&) = delete;

  // Sets what /name plays (JSON, see the script).
  void plan(const std::string& name, const std::string& json) const {
    testsupport::writeFile(dir_ + "/" + name + ".json", json);
  }
  std::string url(const std::string& name) const {
    return "http://127.0.0.1:" + std::to_string(port_) + "/" + name;
  }
  // Every audio byte sent on /name so far.
  std::string sent(const std::string& name) const { return testsupport::readFile(dir_ + "/" + name + ".sent"); }

 private:
  std::string dir_;
  pid_t pid_;
  int port_ = 0;
};

// ORUVEL_TEST_LUMORIPPER runs another build.
inline std::string ripperBinary() {
  const char* other = std::getenv("ORUVEL_TEST_LUMORIPPER");
  return other && *other ? other : LUMORIPPER_BIN;
}

// The ripper under test as a copy in the root named oruvel-ripper: the
// machine is shared, and a "killall lumoripper" anywhere on it (a plug-in
// leaving with OK, a demo run) would otherwise end this test's recording.
inline std::string privateRipper(const testsupport::TempRoot& root) {
  const std::string copy = root.path() + "/bin/oruvel-ripper";
  std::error_code ec;
  std::filesystem::create_directories(root.path() + "/bin", ec);
  if (!std::filesystem::exists(copy)) std::filesystem::copy_file(ripperBinary(), copy, ec);
  return copy;
}

// The ripper under `root` to its end, killed after `seconds`. It runs through
// sh, which first writes its PID (the ripper's, once it execs) to
// ROOT/ripper.pid and runs `limits` (e.g. "ulimit -f 40").
inline testsupport::RunResult runRipper(const testsupport::TempRoot& root, std::vector<std::string> args,
                                        const std::string& limits = "", int seconds = 60) {
  args.insert(args.begin(), {"/bin/sh", "-c", limits + "\necho $$ >\"$ORUVEL_ROOT/ripper.pid\"; exec \"$0\" \"$@\"",
                             privateRipper(root)});
  return testsupport::runProgram(args, "", seconds, {"ORUVEL_ROOT=" + root.path()});
}

// runRipper in the background, for watching the ripper while it records.
struct BackgroundRipper {
  BackgroundRipper(const testsupport::TempRoot& root, const std::vector<std::string>& args)
      : root(root), thread([this, args] {
          result = runRipper(this->root, args);
          done = true;
        }) {}
  ~BackgroundRipper() { thread.join(); }
  // Signals the ripper, while it is still running (so the PID is still its own).
  void signal(int sig) const {
    const std::string pid = root.read("/ripper.pid");
    if (!done && !pid.empty()) kill(std::stoi(pid), sig);
  }
  const testsupport::TempRoot& root;
  testsupport::RunResult result;
  std::atomic<bool> done{false};
  std::thread thread;
};

}  // namespace rippertest
