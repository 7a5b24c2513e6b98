#pragma once
// The command line of oruvel-host.
#include <string>
#include <utility>
#include <vector>

namespace oruvel_host {

// A TV service playing when the host starts, handed back at the end.
inline constexpr const char* kDefaultService = "1:0:1:1:1:1:0:0:0:0:";

struct Options {
  std::string root;        // --root DIR (required)
  std::string plugin;      // --plugin PATH ("" : next to the program)
  std::string script;      // --script FILE ("-" : standard input)
  std::string service = kDefaultService;  // --service TEXT
  std::vector<std::string> locked;        // --locked REF, repeatable
  bool lockInactive = false;              // --lock-inactive
  std::vector<std::pair<std::string, int>> config;  // --config KEY=INT, repeatable
  bool noServiceApi = false;              // --no-service-api
  std::string directory;   // --directory HOST:PORT
  std::string log;         // --log FILE (relative: under the root)
  std::string title, title2;  // --title TEXT, --title2 TEXT
  bool help = false;       // --help
};

// False with a message in `error` on a bad command line.
bool parseOptions(const std::vector<std::string>& args, Options& options, std::string& error);
std::string usage();

}  // namespace oruvel_host
