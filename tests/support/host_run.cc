#include "tests/support/host_run.h"
#include "tests/support/wait.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <stdexcept>
#include <thread>

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
  std::string line;
  while (std::getline(in, line))
    if (line.find(needle) != std::string::npos) lines.push_back(line);
  return lines;
}

std::string RunResult::widgetLine(const std::string& name) const {
  const std::vector<std::string> lines = linesWith(" name=\"" + name + "\" ");
  return lines.empty() ? "" : lines.back();
}

RunResult runProgram(const std::vector<std::string>& argv, const std::string& input,
                     int timeoutSeconds, const std::vector<std::string>& env) {
  int inPipe[2], outPipe[2], errPipe[2];
  if (pipe(inPipe) || pipe(outPipe) || pipe(errPipe)) throw std::runtime_error("pipe failed");
  pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    dup2(inPipe[0], 0);
    dup2(outPipe[1], 1);
    dup2(errPipe[1], 2);
    for (int fd : {inPipe[0], inPipe[1], outPipe[0], outPipe[1], errPipe[0], errPipe[1]}) close(fd);
    setpgid(0, 0);
    for (const auto& e : env) putenv(strdup(e.c_str()));
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  close(inPipe[0]);
  close(outPipe[1]);
  close(errPipe[1]);
  signal(SIGPIPE, SIG_IGN);
  // Feed the input from a thread so a program that does not read it cannot block us.
  std::thread feeder([fd = inPipe[1], input] {
    size_t off = 0;
    while (off < input.size()) {
      ssize_t n = write(fd, input.data() + off, input.size() - off);
      if (n <= 0) break;
      off += static_cast<size_t>(n);
    }
    close(fd);
  });
  RunResult result;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
  bool outOpen = true, errOpen = true, killed = false;
  while (outOpen || errOpen) {
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    int n = poll(fds, 2, 200);
    if (n > 0) {
      char buf[4096];
      for (int i = 0; i < 2; ++i) {
        if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
        ssize_t r = read(fds[i].fd, buf, sizeof buf);
        if (r <= 0) {
          (i == 0 ? outOpen : errOpen) = false;
        } else {
          (i == 0 ? result.out : result.err).append(buf, static_cast<size_t>(r));
        }
      }
    }
    if (!killed && std::chrono::steady_clock::now() > deadline) {
      kill(-pid, SIGKILL);
      killed = true;
      result.err += "\n[test harness: killed after timeout]\n";
    }
  }
  close(outPipe[0]);
  close(errPipe[0]);
  feeder.join();
  int status = 0;
  waitpid(pid, &status, 0);
  result.exitCode = (!killed && WIFEXITED(status)) ? WEXITSTATUS(status) : -1;
  return result;
}

RunResult runHost(const TempRoot& root, const std::string& script,
                  const std::vector<std::string>& args, int timeoutSeconds) {
  std::vector<std::string> argv = {hostBinary(), "--root", root.path(), "--plugin", pluginPath(),
                                   "--script", "-"};
  argv.insert(argv.end(), args.begin(), args.end());
  return runProgram(argv, script, timeoutSeconds);
}

ConfigPaths writeStandardConfig(const TempRoot& root, const std::string& extraLines) {
  ConfigPaths p;
  std::string dir = root.path() + "/var/tuxbox/config/oruvel";
  p.conf = dir + "/oruvel.conf";
  p.genres = dir + "/genre.xml";
  p.stations = dir + "/stations.xml";
  p.favourites = dir + "/lumostations.xml";
  p.playlist = dir + "/playlist.m3u";
  p.picture = dir + "/radio.mvi";
  p.ripper = lumoripperBinary();
  p.ripdir = root.path() + "/music";
  std::filesystem::create_directories(p.ripdir);
  std::string conf = "RIPPER=" + p.ripper + "\nRIPDIR=" + p.ripdir + "\nSTATIONSFILE=" + p.stations +
                     "\nMYSTATIONFILE=" + p.favourites + "\nMYPLAYLISTFILE=" + p.playlist +
                     "\nMYGENREFILE=" + p.genres + "\nLUMOPIC=" + p.picture + "\n" + extraLines;
  writeFile(p.conf, conf);
  return p;
}

StandIn::StandIn(const std::vector<std::string>& options) {
  char tmpl[] = "/tmp/oruvel-standin-XXXXXX";
  if (!mkdtemp(tmpl)) throw std::runtime_error("mkdtemp failed");
  dir_ = tmpl;
  std::string addressFile = dir_ + "/address";
  std::vector<std::string> argv = {"/usr/bin/python3", standinScript(), "--port", "0",
                                   "--address-file", addressFile, "--request-log",
                                   dir_ + "/requests.log"};
  argv.insert(argv.end(), options.begin(), options.end());
  pid_ = fork();
  if (pid_ == 0) {
    int devnull = open("/dev/null", O_WRONLY);
    dup2(devnull, 1);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  // The address is written, newline last, once the port listens.
  waitFor([&] {
    const std::string a = readFile(addressFile);
    if (!a.empty() && a.back() == '\n') address_ = a.substr(0, a.size() - 1);
    return !address_.empty();
  });
  if (address_.empty()) throw std::runtime_error("stand-in directory did not start");
}

StandIn::~StandIn() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    int status;
    waitpid(pid_, &status, 0);
  }
  std::error_code ec;
  std::filesystem::remove_all(dir_, ec);
}

std::string StandIn::requestLog() const { return readFile(dir_ + "/requests.log"); }

}  // namespace testsupport
