#pragma once
// A lumoripper under a test's root that only sleeps: the test started it, so
// it may end it. It carries the root in its environment, as the rippers a
// run starts do, so a run's own pidof and killall see it.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "tests/support/temp_root.h"
#include "tests/support/wait.h"

namespace testsupport {

class SleepingRipper {
 public:
  explicit SleepingRipper(const TempRoot& root) {
    std::string program = root.at("/lumoripper"), env = "ORUVEL_ROOT=" + root.path();
    std::filesystem::copy_file("/bin/sleep", program, std::filesystem::copy_options::overwrite_existing);
    if ((pid_ = fork()) == 0) {
      char* envp[] = {env.data(), nullptr};
      execle(program.c_str(), "lumoripper", "120", static_cast<char*>(nullptr), envp);
      _exit(127);
    }
    // A loaded machine may take seconds to get there; a probe must not run before.
    const std::string comm = "/proc/" + std::to_string(pid_) + "/comm";
    EXPECT_TRUE(waitFor([&] { return readFile(comm) == "lumoripper\n"; })) << "the ripper never started";
  }
  SleepingRipper(const SleepingRipper&) = delete;
  SleepingRipper& operator=(const SleepingRipper&) = delete;
  ~SleepingRipper() {
    if (alive()) kill(pid_, SIGKILL), waitpid(pid_, nullptr, 0);
  }
  pid_t pid() const { return pid_; }
  std::string pidText() const { return std::to_string(pid_); }
  bool alive() {
    if (!reaped_) reaped_ = waitpid(pid_, &status_, WNOHANG) == pid_;
    return !reaped_;
  }
  // The signal that ended it (0: still running or ended by itself).
  int endSignal() { return !alive() && WIFSIGNALED(status_) ? WTERMSIG(status_) : 0; }

 private:
  pid_t pid_ = -1;
  bool reaped_ = false;
  int status_ = 0;
};

}  // namespace testsupport
