#include "tests/lumoripper/ripper_harness.h"

#include "tests/support/host_run.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>

namespace fs = std::filesystem;

#ifndef LUMORIPPER_BIN
#define LUMORIPPER_BIN "lumoripper"
#endif
#ifndef ICY_TEST_SERVER
#define ICY_TEST_SERVER "icy_test_server.py"
#endif

namespace rippertest {

const char* serverScript() { return ICY_TEST_SERVER; }
// ORUVEL_TEST_LUMORIPPER runs another build, or a renamed copy that plug-in
// tests running elsewhere on the machine cannot stop by process name.
const char* ripperBinary() {
  const char* other = std::getenv("ORUVEL_TEST_LUMORIPPER");
  return other && *other ? other : LUMORIPPER_BIN;
}

RadioServer::RadioServer(const std::string& logDir) : logDir_(logDir) {
  fs::create_directories(logDir_);
  int out[2];
  if (pipe(out)) throw std::runtime_error("pipe failed");
  pid_ = fork();
  if (pid_ < 0) throw std::runtime_error("fork failed");
  if (pid_ == 0) {
    dup2(out[1], 1);
    close(out[0]);
    close(out[1]);
    execlp("python3", "python3", serverScript(), logDir_.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(out[1]);
  std::string line;
  char c;
  while (read(out[0], &c, 1) == 1 && c != '\n') line += c;
  close(out[0]);
  port_ = std::atoi(line.c_str());
  if (port_ <= 0) throw std::runtime_error("the test radio server did not start");
}

RadioServer::~RadioServer() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    int st;
    waitpid(pid_, &st, 0);
  }
}

void RadioServer::plan(const std::string& name, const std::string& json) const {
  testsupport::writeFile(logDir_ + "/" + name + ".json", json);
}

std::string RadioServer::url(const std::string& name) const {
  return "http://127.0.0.1:" + std::to_string(port_) + "/" + name;
}

std::string RadioServer::sent(const std::string& name) const {
  return testsupport::readFile(logDir_ + "/" + name + ".sent");
}

RipperProcess::RipperProcess(const testsupport::TempRoot& root, const std::vector<std::string>& args,
                             long fileSizeLimit)
    : errPath_(root.path() + "/ripper.err") {
  std::string rootEnv = "ORUVEL_ROOT=" + root.path();
  pid_ = fork();
  if (pid_ < 0) throw std::runtime_error("fork failed");
  if (pid_ == 0) {
    int fd = open(errPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(fd, 2);
    close(fd);
    int out = open((errPath_ + ".out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(out, 1);
    close(out);
    putenv(rootEnv.data());
    if (fileSizeLimit > 0) {
      // Writes past the limit then fail with EFBIG, as on a full disk.
      ::signal(SIGXFSZ, SIG_IGN);
      struct rlimit lim {static_cast<rlim_t>(fileSizeLimit), static_cast<rlim_t>(fileSizeLimit)};
      setrlimit(RLIMIT_FSIZE, &lim);
    }
    std::vector<char*> argv{const_cast<char*>(ripperBinary())};
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
}

RipperProcess::~RipperProcess() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    int st;
    waitpid(pid_, &st, 0);
  }
}

int RipperProcess::wait(double seconds) {
  if (pid_ <= 0) return -1;
  int st = 0;
  bool ended = waitFor([&] { return waitpid(pid_, &st, WNOHANG) == pid_; }, seconds);
  if (!ended) {
    kill(pid_, SIGKILL);
    waitpid(pid_, &st, 0);
    pid_ = -1;
    return -1;
  }
  pid_ = -1;
  return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

int RipperProcess::poll() {
  if (pid_ <= 0) return -1;
  int st = 0;
  if (waitpid(pid_, &st, WNOHANG) != pid_) return -2;
  pid_ = -1;
  return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

void RipperProcess::signal(int sig) const {
  if (pid_ > 0) kill(pid_, sig);
}

std::string RipperProcess::err() const { return testsupport::readFile(errPath_); }

RipperRun runRipper(const testsupport::TempRoot& root, const std::vector<std::string>& args, int seconds) {
  std::vector<std::string> argv{ripperBinary()};
  argv.insert(argv.end(), args.begin(), args.end());
  auto r = testsupport::runProgram(argv, "", seconds, {"ORUVEL_ROOT=" + root.path()});
  return {r.exitCode, r.err};
}

bool hasShape(const std::string& text, const std::string& pattern) {
  auto digit = [](char c) { return c >= '0' && c <= '9'; };
  std::size_t t = 0;
  for (char p : pattern) {
    if (p == '#' || p == '+') {
      if (t >= text.size() || !digit(text[t])) return false;
      ++t;
      if (p == '+')
        while (t < text.size() && digit(text[t])) ++t;
    } else if (t >= text.size() || text[t++] != p) {
      return false;
    }
  }
  return t == text.size();
}

std::vector<std::string> filesIn(const std::string& dir) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(dir, ec))
    if (e.is_regular_file()) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace rippertest
