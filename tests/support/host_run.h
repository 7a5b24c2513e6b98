#pragma once
// Runs the desktop host headless on a script, and the stand-in station
// directory, for tests that drive the plug-in from outside.
#include <string>
#include <vector>

#include "tests/support/temp_root.h"

namespace testsupport {

struct RunResult {
  int exitCode = -1;     // the program's exit status (-1: killed or failed)
  std::string out;       // standard output: the transcript
  std::string err;       // standard error
  // The output lines that contain `needle`.
  std::vector<std::string> linesWith(const std::string& needle) const;
  bool has(const std::string& needle) const { return out.find(needle) != std::string::npos; }
  // The last dumped line of the widget named `name` ("" when none was).
  std::string widgetLine(const std::string& name) const;
};

// Runs any program with arguments, standard input from `input`, killed
// after timeoutSeconds. Environment: the test's own plus `env` entries.
RunResult runProgram(const std::vector<std::string>& argv, const std::string& input = "",
                     int timeoutSeconds = 60, const std::vector<std::string>& env = {});

// oruvel-host --root ROOT --plugin liboruvel.so --script - [args...],
// the script given on standard input.
RunResult runHost(const TempRoot& root, const std::string& script,
                  const std::vector<std::string>& args = {}, int timeoutSeconds = 60);

// Writes a configuration under the root. Paths default to files below the
// root's config folder; RIPPER to the built lumoripper and RIPDIR to
// ROOT/music. `extraLines` are appended verbatim.
struct ConfigPaths {
  std::string conf, genres, stations, favourites, playlist, picture, ripper, ripdir;
};
ConfigPaths writeStandardConfig(const TempRoot& root, const std::string& extraLines = "");

// The stand-in station directory on a free loopback port, stopped with
// SIGTERM when the object goes.
class StandIn {
 public:
  explicit StandIn(const std::vector<std::string>& options = {});
  ~StandIn();
  StandIn(const StandIn&) = delete;
  StandIn& operator=(const StandIn&) = delete;
  const std::string& address() const { return address_; }  // "127.0.0.1:PORT"
  // The request lines the server logged so far (when started with a log).
  std::string requestLog() const;

 private:
  int pid_ = -1;
  std::string address_;
  std::string dir_;
};

// Build-time locations of the programs under test.
const char* hostBinary();
const char* pluginPath();
const char* lumoripperBinary();
const char* standinScript();

}  // namespace testsupport
