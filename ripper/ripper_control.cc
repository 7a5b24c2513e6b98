#include "ripper/ripper_control.h"

#include <cstdlib>

#include "base/fixed_text.h"
#include "base/shell.h"

namespace oruvel::ripper {

std::string Control::commandLine(const Config& config, std::string_view url) {
  return shellQuote(fixedView(config.RIPPER)) + " " + shellQuote(url) + " -d " +
         shellQuote(fixedView(config.RIPDIR));
}

bool Control::start(const Config& config, std::string_view url, const Clock& nowMs) const {
  // The ripper's output must not hold on to the host's terminal or pipes;
  // the shell tells which process it started.
  const std::string started =
      shellOutput(commandLine(config, url) + " > /dev/null 2>&1 < /dev/null & echo $!", 32);
  return awaitAnnouncement(std::strtol(started.c_str(), nullptr, 10), nowMs);
}

void Control::stop(const char* pidText) const { runShell(killCommand(pidText)); }

void Control::stopAll(const Clock& nowMs) const {
  char pid[7];
  const bool named = announced(pid) == PidFile::valid && isRipper(pid);
  runShell(std::string("killall ") + kProcessName);
  if (named) awaitEnd(pid, nowMs);
}

}  // namespace oruvel::ripper
