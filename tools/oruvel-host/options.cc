#include "tools/oruvel-host/options.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace oruvel_host {
namespace {

bool parseInt(const std::string& text, int& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  long v = std::strtol(text.c_str(), &end, 0);
  if (errno != 0 || *end != '\0' || v < INT_MIN || v > INT_MAX) return false;
  value = static_cast<int>(v);
  return true;
}

}  // namespace

std::string usage() {
  return "usage: oruvel-host --root DIR [--script FILE] [options]\n"
         "\n"
         "Loads the Oruvel plug-in, calls its plugin_exec and drives it from a\n"
         "script of commands (one per line; see README-script.md), or, without\n"
         "--script, interactively in the terminal (keys: see README.md).\n"
         "\n"
         "  --root DIR          folder under which every fixed path resolves (created\n"
         "                      when missing)\n"
         "  --script FILE       the commands to run, - for standard input\n"
         "  --plugin PATH       the plug-in (default: liboruvel.so beside the program)\n"
         "  --service TEXT      the service playing at start (default " +
         std::string(kDefaultService) +
         ")\n"
         "  --locked REF        add REF to the parentally locked services and turn the\n"
         "                      parental lock on (repeatable)\n"
         "  --lock-inactive     keep the parental lock off even with --locked\n"
         "  --config KEY=INT    set an integer key of the host configuration, such as\n"
         "                      /elitedvb/hidelocked=1 (repeatable)\n"
         "  --no-service-api    the host offers no service interface\n"
         "  --directory H:P     the station directory the plug-in talks to\n"
         "  --log FILE          standard error of the host and of every command the\n"
         "                      plug-in runs goes to FILE (relative: under the root)\n"
         "  --title TEXT        the playing service's title (info 1)\n"
         "  --title2 TEXT       its second text (info 2)\n"
         "  --player stub|real  stub: nothing plays, --title/--title2 answer the info\n"
         "                      queries (default headless); real: streams play through\n"
         "                      mpg123 (MP3) or ffmpeg (AAC, Ogg) (default interactive)\n"
         "  --sound auto|on|off|file:PATH\n"
         "                      the real player's sound: on the sound device when\n"
         "                      there is one (auto), decode only (off), or decode\n"
         "                      into the WAV file PATH (16-bit PCM at the stream's\n"
         "                      rate and channels; each stream played writes it anew)\n"
         "  --clock virtual|real  virtual time moved by the script's wait (default\n"
         "                      headless) or the wall clock (default interactive)\n"
         "  --help              this text\n";
}

bool parseOptions(const std::vector<std::string>& args, Options& options, std::string& error) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto value = [&](std::string& into) {
      if (i + 1 >= args.size()) {
        error = arg + " needs a value";
        return false;
      }
      into = args[++i];
      return true;
    };
    std::string text;
    if (arg == "--help" || arg == "-h") {
      options.help = true;
    } else if (arg == "--root") {
      if (!value(options.root)) return false;
    } else if (arg == "--plugin") {
      if (!value(options.plugin)) return false;
    } else if (arg == "--script") {
      if (!value(options.script)) return false;
    } else if (arg == "--service") {
      if (!value(options.service)) return false;
    } else if (arg == "--locked") {
      if (!value(text)) return false;
      options.locked.push_back(text);
    } else if (arg == "--lock-inactive") {
      options.lockInactive = true;
    } else if (arg == "--config") {
      if (!value(text)) return false;
      size_t eq = text.rfind('=');
      int number = 0;
      if (eq == std::string::npos || eq == 0 || !parseInt(text.substr(eq + 1), number)) {
        error = "--config wants KEY=INT, not \"" + text + "\"";
        return false;
      }
      options.config.emplace_back(text.substr(0, eq), number);
    } else if (arg == "--no-service-api") {
      options.noServiceApi = true;
    } else if (arg == "--directory") {
      if (!value(options.directory)) return false;
    } else if (arg == "--log") {
      if (!value(options.log)) return false;
    } else if (arg == "--title") {
      if (!value(options.title)) return false;
    } else if (arg == "--title2") {
      if (!value(options.title2)) return false;
    } else if (arg == "--player" || arg == "--sound" || arg == "--clock") {
      std::string& into = arg == "--player" ? options.player
                          : arg == "--sound" ? options.sound
                                             : options.clock;
      if (!value(into)) return false;
      const char* allowed = arg == "--player" ? " stub real " : arg == "--sound" ? " auto on off file:PATH " : " virtual real ";
      const bool file = arg == "--sound" && into.rfind("file:", 0) == 0 && into.size() > 5;
      if (!file && (into.empty() || into.find(' ') != std::string::npos || into == "file:PATH" ||
                    std::string(allowed).find(" " + into + " ") == std::string::npos)) {
        error = arg + " wants one of" + std::string(allowed) + "(not \"" + into + "\")";
        return false;
      }
    } else {
      error = "unknown option \"" + arg + "\"";
      return false;
    }
  }
  if (options.help) return true;
  if (options.root.empty()) {
    error = "--root DIR is required (a folder for the plug-in's files)";
    return false;
  }
  return true;
}

bool realPlayer(const Options& options) {
  return options.player.empty() ? interactive(options) : options.player == "real";
}

std::string soundFile(const Options& options) {
  return options.sound.rfind("file:", 0) == 0 ? options.sound.substr(5) : std::string();
}

bool realClock(const Options& options) {
  return options.clock.empty() ? interactive(options) : options.clock == "real";
}

}  // namespace oruvel_host
