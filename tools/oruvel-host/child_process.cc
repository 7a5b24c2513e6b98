#include "tools/oruvel-host/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

extern char** environ;

namespace oruvel_host {

pid_t startChild(const std::vector<std::string>& command, const ChildStdio& stdio, std::string& error) {
  std::vector<char*> argv;
  for (const auto& a : command) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (stdio.in >= 0)
    posix_spawn_file_actions_adddup2(&actions, stdio.in, 0);
  else
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  if (stdio.out >= 0)
    posix_spawn_file_actions_adddup2(&actions, stdio.out, 1);
  else
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  if (!stdio.errFile.empty())
    posix_spawn_file_actions_addopen(&actions, 2, stdio.errFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  // Whatever libraries opened without close-on-exec (the stream's socket) stays ours.
  posix_spawn_file_actions_addclosefrom_np(&actions, 3);
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  posix_spawnattr_setpgroup(&attr, 0);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  sigaddset(&defaults, SIGINT);
  sigaddset(&defaults, SIGTERM);
  posix_spawnattr_setsigdefault(&attr, &defaults);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
  pid_t pid = -1;
  const int rc = posix_spawnp(&pid, argv[0], &actions, &attr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  if (rc != 0) {
    error = std::strerror(rc);
    return -1;
  }
  return pid;
}

namespace {

// Waits up to ms for the child: its exit status, -1 when a signal ended it,
// -2 when it still runs.
int reapChild(pid_t pid, int ms) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  for (;;) {
    int status = 0;
    const pid_t r = ::waitpid(pid, &status, WNOHANG);
    if (r == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (r < 0 && errno != EINTR) return -1;
    if (std::chrono::steady_clock::now() >= deadline) return -2;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

}  // namespace

int endChild(pid_t pid, int graceMs) {
  int status = reapChild(pid, graceMs);
  if (status == -2) {
    ::kill(pid, SIGTERM);
    status = reapChild(pid, 500);
  }
  if (status == -2) {
    ::kill(pid, SIGKILL);
    status = reapChild(pid, 5000);
  }
  return status < 0 ? -1 : status;
}

}  // namespace oruvel_host
