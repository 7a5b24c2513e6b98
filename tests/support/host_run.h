#pragma once
// Runs programs, the desktop host headless on a script, and the stand-in
// station directory, for tests that drive the plug-in from outside.
#include <string>
#include <vector>

#include "tests/support/temp_root.h"

namespace testsupport {

struct RunResult {
  int exitCode = -1;  // -1: killed or failed
  std::string out, err;
  std::vector<std::string> linesWith(const std::string& needle) const;  // the output lines holding it
  bool has(const std::string& needle) const { return out.find(needle) != std::string::npos; }
  std::string widgetLine(const std::string& name) const;  // the last dumped line of that widget, or ""
};

// Runs argv with `input` as standard input, killed after timeoutSeconds;
// the environment is the test's own plus `env`.
RunResult runProgram(const std::vector<std::string>& argv, const std::string& input = "",
                     int timeoutSeconds = 60, const std::vector<std::string>& env = {});
// oruvel-host --root ROOT --plugin liboruvel.so --script - [args...].
RunResult runHost(const TempRoot& root, const std::string& script,
                  const std::vector<std::string>& args = {}, int timeoutSeconds = 60);

// The stand-in station directory on a free loopback port, logging its
// requests; stopped with SIGTERM when the object goes.
class StandIn {
 public:
  explicit StandIn(const std::vector<std::string>& options = {});
  ~StandIn();
  StandIn(const StandIn&) = delete;
  StandIn& operator=(const StandIn&) = delete;
  const std::string& address() const { return address_; }  // "127.0.0.1:PORT"
  std::string requestLog() const;

 private:
  int pid_ = -1;
  TempRoot dir_;  // its address file and request log
  std::string address_;
};

// Build-time locations of the programs under test.
const char* hostBinary();
const char* pluginPath();
const char* lumoripperBinary();
const char* standinScript();

}  // namespace testsupport
