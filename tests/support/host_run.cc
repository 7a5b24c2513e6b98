#include "tests/support/host_run.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <sstream>
#include <stdexcept>

#include "tests/support/wait.h"

#ifndef ORUVEL_HOST_BIN
#define ORUVEL_HOST_BIN "oruvel-host"
#endif
#ifndef ORUVEL_PLUGIN_PATH
#define ORUVEL_PLUGIN_PATH "liboruvel.so"
#endif
#ifndef ORUVEL_LUMORIPPER_BIN
#define ORUVEL_LUMORIPPER_BIN "lumoripper"
#endif
#ifndef ORUVEL_STANDIN_SCRIPT
#define ORUVEL_STANDIN_SCRIPT "oruvel-directory"
#endif

namespace testsupport {

const char* hostBinary() { return ORUVEL_HOST_BIN; }
const char* pluginPath() { return ORUVEL_PLUGIN_PATH; }
const char* lumoripperBinary() { return ORUVEL_LUMORIPPER_BIN; }
const char* standinScript() { return ORUVEL_STANDIN_SCRIPT; }

std::vector<std::string> RunResult::linesWith(const std::string& needle) const {
  std::vector<std::string> lines;
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);)
    if (line.find(needle) != std::string::npos) lines.push_back(line);
  return lines;
}

std::string RunResult::widgetLine(const std::string& name) const {
  const std::vector<std::string> lines = linesWith(" name=\"" + name + "\" ");
  return lines.empty() ? "" : lines.back();
}

// Forks and runs argv in its own process group, standard streams moved
// to `fds` (-1: kept).
static pid_t spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                   std::initializer_list<int> fds) {
  pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid > 0) return pid;
  int target = 0;
  for (int fd : fds) dup2(fd, target++);  // -1 fails and keeps that stream
  setpgid(0, 0);
  for (const auto& e : env) putenv(strdup(e.c_str()));
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  execv(args[0], args.data());
  _exit(127);
}

RunResult runProgram(const std::vector<std::string>& argv, const std::string& input,
                     int timeoutSeconds, const std::vector<std::string>& env) {
  // Input and errors in files in memory, so a program that does not read
  // its input or writes much to its errors cannot block either side.
  int in = memfd_create("in", MFD_CLOEXEC), err = memfd_create("err", MFD_CLOEXEC), out[2];
  if (in < 0 || err < 0 || write(in, input.data(), input.size()) != static_cast<ssize_t>(input.size()) ||
      lseek(in, 0, SEEK_SET) != 0 || pipe2(out, O_CLOEXEC))
    throw std::runtime_error("cannot set up the standard streams");
  pid_t pid = spawn(argv, env, {in, out[1], err});
  close(in);
  close(out[1]);
  signal(SIGPIPE, SIG_IGN);  // the callers' own writes to a gone peer fail, not kill
  RunResult result;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
  bool killed = false;
  for (pollfd p{out[0], POLLIN, 0};;) {
    if (poll(&p, 1, 200) > 0) {
      char buf[4096];
      ssize_t r = read(out[0], buf, sizeof buf);
      if (r <= 0) break;
      result.out.append(buf, static_cast<size_t>(r));
    }
    if (!killed && std::chrono::steady_clock::now() > deadline) kill(-pid, SIGKILL), killed = true;
  }
  close(out[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  result.err = readFile("/proc/self/fd/" + std::to_string(err));
  close(err);
  if (killed) result.err += "\n[test harness: killed after timeout]\n";
  result.exitCode = (!killed && WIFEXITED(status)) ? WEXITSTATUS(status) : -1;
  return result;
}

RunResult runHost(const TempRoot& root, const std::string& script,
                  const std::vector<std::string>& args, int timeoutSeconds) {
  std::vector<std::string> argv = {hostBinary(), "--root", root.path(), "--plugin", pluginPath(), "--script", "-"};
  argv.insert(argv.end(), args.begin(), args.end());
  return runProgram(argv, script, timeoutSeconds);
}

StandIn::StandIn(const std::vector<std::string>& options) {
  const std::string addressFile = dir_.at("/address");
  std::vector<std::string> argv = {"/usr/bin/python3", standinScript(), "--port", "0", "--address-file",
                                   addressFile, "--request-log", dir_.at("/requests.log")};
  argv.insert(argv.end(), options.begin(), options.end());
  int devnull = open("/dev/null", O_WRONLY | O_CLOEXEC);
  pid_ = spawn(argv, {}, {-1, devnull});
  close(devnull);
  // The address is written, newline last, once the port listens.
  waitFor([&] {
    const std::string a = readFile(addressFile);
    if (!a.empty() && a.back() == '\n') address_ = a.substr(0, a.size() - 1);
    return !address_.empty();
  });
  if (address_.empty()) throw std::runtime_error("stand-in directory did not start");
}

StandIn::~StandIn() {
  if (pid_ > 0) kill(pid_, SIGTERM), waitpid(pid_, nullptr, 0);
}

std::string StandIn::requestLog() const { return dir_.read("/requests.log"); }

}  // namespace testsupport
