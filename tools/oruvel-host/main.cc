// oruvel-host: the desktop host. Sets the filesystem root, loads the
// plug-in, calls plugin_exec and drives its windows from a script, or
// interactively in the terminal.
#include <dlfcn.h>
#include <fcntl.h>
#include <limits.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>

#include "host/host.h"
#include "host/inspection.h"
#include "host/lcd_panel.h"
#include "base/directory_host.h"
#include "base/fs_root.h"
#include "tools/oruvel-host/options.h"
#include "tools/oruvel-host/script_frontend.h"
#include "tools/oruvel-host/stream_player.h"
#include "tools/oruvel-host/terminal_frontend.h"

namespace fs = std::filesystem;
using oruvel_host::Options;

namespace {

int fatal(const std::string& message, int code = 2) {
  std::fprintf(stderr, "oruvel-host: %s\n", message.c_str());
  return code;
}

// liboruvel.so beside the program, or where the build tree puts it.
std::string defaultPlugin() {
  std::error_code ec;
  fs::path self = fs::read_symlink("/proc/self/exe", ec);
  if (!ec) {
    fs::path dir = self.parent_path();
    for (const fs::path& candidate :
         {dir / "liboruvel.so", dir / ".." / ".." / "liboruvel.so", dir / ".." / "lib" / "liboruvel.so"})
      if (fs::exists(candidate, ec)) return candidate.lexically_normal().string();
  }
  return "liboruvel.so";
}

bool readScript(const std::string& name, std::string& script) {
  std::ostringstream text;
  if (name == "-") {
    text << std::cin.rdbuf();
  } else {
    std::ifstream in(name, std::ios::binary);
    if (!in) return false;
    text << in.rdbuf();
  }
  script = text.str();
  return true;
}

// Standard error (ours and every command's) into the log file.
bool redirectStderr(const std::string& root, const std::string& log) {
  fs::path path = fs::path(log).is_absolute() ? fs::path(log) : fs::path(root) / log;
  std::error_code ec;
  fs::create_directories(path.parent_path(), ec);
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  bool ok = ::dup2(fd, 2) >= 0;
  ::close(fd);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  std::string error;
  if (!oruvel_host::parseOptions(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
    std::fprintf(stderr, "oruvel-host: %s\n\n%s", error.c_str(), oruvel_host::usage().c_str());
    return 2;
  }
  if (options.help) {
    std::fputs(oruvel_host::usage().c_str(), stdout);
    return 0;
  }
  const bool interactive = oruvel_host::interactive(options);
  if (interactive && !(::isatty(0) && ::isatty(1)))
    return fatal("without --script the host runs in a terminal, and this is none; "
                 "run it in a terminal or give --script FILE");
  // The terminal is for the screen: everything written to standard error,
  // ours and the commands', goes to the log.
  if (interactive && options.log.empty()) options.log = "oruvel.log";

  std::error_code ec;
  fs::create_directories(options.root, ec);
  fs::path root = fs::canonical(options.root, ec);
  if (ec || !fs::is_directory(root))
    return fatal("cannot use \"" + options.root + "\" as the root folder: " + ec.message());
  oruvel::setFsRoot(root.string());
  // A receiver always has its /tmp; the plug-in's commands write there.
  fs::create_directories(root / "tmp", ec);
  if (!options.log.empty() && !redirectStderr(root.string(), options.log))
    return fatal("cannot open the log file \"" + options.log + "\"");
  if (!options.directory.empty()) ::setenv(oruvel::kDirectoryEnv, options.directory.c_str(), 1);

  std::string script;
  if (!interactive && !readScript(options.script, script))
    return fatal("cannot read the script \"" + options.script + "\"");
  // The script is in memory; commands the plug-in runs must not read our input.
  int devNull = ::open("/dev/null", O_RDONLY);
  if (devNull >= 0) {
    ::dup2(devNull, 0);
    ::close(devNull);
  }

  // The host's state as the command line asks.
  for (const auto& [key, value] : options.config) eConfig::getInstance()->setKey(key.c_str(), value);
  for (const auto& text : options.locked) {
    eServiceReference ref(text);
    if (!ref.valid()) return fatal("--locked \"" + text + "\" is not a service reference");
    eServiceReference::locked.insert(ref);
  }
  if (!options.locked.empty() && !options.lockInactive) {
    eConfig::getInstance()->pLockActive = 1;
    eConfig::getInstance()->pinCode = 1;
  }
  if (options.noServiceApi) HostInspection::setServiceAPIAvailable(false);

  eFixedInfoPlayer stubPlayer(options.title, options.title2);
  oruvel_host::StreamPlayer::Options playerOptions;
  playerOptions.sound = options.sound == "on" || (options.sound == "auto" && oruvel_host::soundDeviceAvailable());
  if (const std::string wav = oruvel_host::soundFile(options); !wav.empty())
    playerOptions.wavFile = fs::absolute(wav, ec).lexically_normal().string();
  std::unique_ptr<oruvel_host::StreamPlayer> streamPlayer;
  if (oruvel_host::realPlayer(options)) streamPlayer = std::make_unique<oruvel_host::StreamPlayer>(playerOptions);
  ePlayerBackend& player = streamPlayer ? static_cast<ePlayerBackend&>(*streamPlayer) : stubPlayer;
  HostInspection::setPlayer(&player);
  eServiceReference start(options.service);
  if (!start.valid()) return fatal("--service \"" + options.service + "\" is not a service reference");
  HostInspection::setCurrentService(start, player.play(start));

  eVirtualClock clock;
  if (!oruvel_host::realClock(options)) eApp->setClock(&clock);
  oruvel_host::ScriptFrontend frontend(script);
  frontend.playerLine = [&streamPlayer] {
    if (!streamPlayer)  // the stub plays whatever it is given, by name
      return "player playing " + host_transcript::quoted(ref2string(eServiceInterface::getInstance()->getCurrentService()));
    const oruvel_host::StreamPlayer::Status s = streamPlayer->status();
    std::string line = std::string("player ") + oruvel_host::StreamPlayer::stateName(s.state) + " ";
    if (s.state == oruvel_host::StreamPlayer::State::Reconnecting) line += std::to_string(s.attempt) + " ";
    return line + host_transcript::quoted(s.text);
  };
  oruvel_host::TerminalFrontend terminal(
      {streamPlayer.get(), playerOptions.sound, (root / options.log).lexically_normal().string(),
       playerOptions.wavFile});
  if (interactive) {
    std::string why;
    if (!terminal.open(why)) return fatal(why);
    // The terminal is drawn through /dev/tty; what the plug-in's commands
    // print (the ripper started in the background too) goes to the log.
    if (::dup2(2, 1) < 0) return fatal("cannot send standard output to the log");
    eApp->setFrontend(&terminal);
  } else {
    eApp->setFrontend(&frontend);
    host_transcript::enable(true);
  }

  if (!LcdPanel::install(root.string()))
    std::fprintf(stderr, "oruvel-host: no emulated LCD panel under %s\n", root.c_str());

  const std::string pluginPath = options.plugin.empty() ? defaultPlugin() : options.plugin;
  void* plugin = ::dlopen(pluginPath.c_str(), RTLD_NOW);
  using Entry = int (*)();
  Entry entry = nullptr;
  std::string loadError;
  if (!plugin)
    loadError = std::string("cannot load the plug-in: ") + ::dlerror();
  else if (!(entry = reinterpret_cast<Entry>(::dlsym(plugin, "plugin_exec"))))
    loadError = "the plug-in \"" + pluginPath + "\" has no plugin_exec";
  if (!loadError.empty()) {
    terminal.finish("oruvel-host: " + loadError);  // said on the terminal too
    return fatal(loadError, 1);
  }

  const int result = entry();
  if (interactive) {
    eApp->setFrontend(nullptr);
    const std::string last = "oruvel-host: plugin_exec returned " + std::to_string(result) +
                             "; the host plays " +
                             ref2string(eServiceInterface::getInstance()->getCurrentService()) +
                             " again (log: " + (root / options.log).lexically_normal().string() + ")";
    std::fprintf(stderr, "%s\n", last.c_str());
    terminal.finish(last);
    player.stop();
    return 0;
  }
  host_transcript::line("plugin_exec returned " + std::to_string(result));
  frontend.runPlugin = entry;
  frontend.runRest();
  eApp->setFrontend(nullptr);
  player.stop();
  std::fflush(stdout);
  return frontend.failed() ? 1 : 0;
}
