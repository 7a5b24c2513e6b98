#pragma once
// The stand-in's stream plans and lumoripper runs under a test's own root,
// for tests that watch the ripper from outside.
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "tests/support/host_run.h"
#include "tests/support/temp_root.h"
#include "tests/support/wait.h"

namespace rippertest {

using testsupport::waitFor;
using Files = std::map<std::string, std::string>;

// The files directly in `dir`: name -> content.
inline Files filesIn(const std::string& dir) {
  Files files;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(dir, ec))
    if (e.is_regular_file()) files[e.path().filename().string()] = testsupport::readFile(e.path().string());
  return files;
}

// The stand-in directory playing stream plans (JSON, see plan_stream.py) from `dir`.
struct RadioServer : testsupport::StandIn {
  explicit RadioServer(const std::string& dir)
      : StandIn({"--plans", (std::filesystem::create_directories(dir), dir), "--audio-dir", ""}), dir(dir) {}
  void plan(const std::string& name, const std::string& json) const { testsupport::writeFile(dir + "/" + name + ".json", json); }
  std::string url(const std::string& name) const { return "http://" + address() + "/plan/" + name; }
  std::string sent(const std::string& name) const { return testsupport::readFile(dir + "/" + name + ".sent"); }
  std::string dir;
};

// The ripper under test (ORUVEL_TEST_LUMORIPPER: another build) runs as a
// copy named oruvel-ripper, out of reach of a "killall lumoripper" elsewhere
// on the shared machine. Through sh, which writes its PID to ROOT/ripper.pid
// and runs `limits` (e.g. "ulimit -f 40"); killed after `seconds`.
inline testsupport::RunResult runRipper(const testsupport::TempRoot& root, std::vector<std::string> args,
                                        const std::string& limits = "", int seconds = 60) {
  const char* other = std::getenv("ORUVEL_TEST_LUMORIPPER");
  const std::string copy = root.path() + "/bin/oruvel-ripper";
  std::error_code ec;
  std::filesystem::create_directories(root.path() + "/bin", ec);
  std::filesystem::copy_file(other && *other ? other : LUMORIPPER_BIN, copy, ec);
  args.insert(args.begin(), {"/bin/sh", "-c", limits + "\necho $$ >\"$ORUVEL_ROOT/ripper.pid\"; exec \"$0\" \"$@\"", copy});
  return testsupport::runProgram(args, "", seconds, {"ORUVEL_ROOT=" + root.path()});
}

// runRipper in the background, for watching the ripper while it records.
struct BackgroundRipper {
  BackgroundRipper(const testsupport::TempRoot& root, const std::vector<std::string>& args)
      : root(root), thread([this, args] { result = runRipper(this->root, args), done = true; }) {}
  ~BackgroundRipper() { thread.join(); }
  // Only while it still runs is the PID still its own.
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
