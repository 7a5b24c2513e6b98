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
  std::string script;      // --script FILE ("-" : standard input); "": interactive
  std::string service = kDefaultService;  // --service TEXT
  std::vector<std::string> locked;        // --locked REF, repeatable
  bool lockInactive = false;              // --lock-inactive
  std::vector<std::pair<std::string, int>> config;  // --config KEY=INT, repeatable
  bool noServiceApi = false;              // --no-service-api
  std::string directory;   // --directory HOST:PORT
  std::string log;         // --log FILE (relative: under the root)
  std::string title, title2;  // --title TEXT, --title2 TEXT
  std::string player = "";    // --player stub|real ("": stub headless, real interactive)
  std::string sound = "auto"; // --sound auto|on|off|file:PATH: the real player's audio output
  std::string clock = "";     // --clock virtual|real ("": virtual headless, real interactive)
  bool help = false;       // --help
};

// False with a message in `error` on a bad command line.
// Without --script the host runs interactively in the terminal.
inline bool interactive(const Options& options) { return options.script.empty(); }
bool realPlayer(const Options& options);
bool realClock(const Options& options);
// The WAV file of --sound file:PATH; "" for the other choices.
std::string soundFile(const Options& options);

bool parseOptions(const std::vector<std::string>& args, Options& options, std::string& error);
std::string usage();

}  // namespace oruvel_host
