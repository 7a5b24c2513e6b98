#pragma once
// The ripper control: the one place that answers whether the ripper runs
// (by its process, its PID file or its progress file), builds its command
// line, starts it and stops it. Widget-free; the red key's handlers show
// what it finds.
#include <string>
#include <string_view>

#include "base/config.h"
#include "ripper/ripper_files.h"

namespace oruvel::ripper {

class Control {
 public:
  // What the next press of the red key does: 0 starts the ripper, 1 stops
  // it. Kept while the plug-in is loaded, so a second run goes on from
  // where the first left it.
  int RIPflag = 0;

  // Whether a process called lumoripper runs (pidof); `none` also clears
  // the files a ripper that went left behind.
  Probe probe() const { return ripper::probe(); }
  bool running() const { return probe() == Probe::running; }
  // Whether a ripper has announced itself in /tmp/lumopid, and its PID text.
  PidFile announced(char (&pidText)[7]) const { return readPidFile(pidText); }
  // The first line of /tmp/lumorip into `line`; false when the ripper is
  // not recording.
  bool recording(char (&line)[256]) const { return readProgressLine(line); }

  // The command line that records `url` with the configured ripper into
  // RIPDIR, each of the three quoted for the shell.
  static std::string commandLine(const Config& config, std::string_view url);

  // Starts the ripper on `url` in the background, detached from the host's
  // terminal, and waits (bounded, on `nowMs`) until it has announced
  // itself, so the next press finds it to stop. True when it did.
  bool start(const Config& config, std::string_view url, const Clock& nowMs) const;
  // Whether `pidText` names a live ripper, the only kind stop() may kill.
  bool isRipper(const char* pidText) const { return isRunningRipper(pidText); }
  // Forgets the ripper the PID file names: the file is removed.
  void forget() const { removePidFile(); }
  // Kills the ripper `pidText`, which isRipper accepted.
  void stop(const char* pidText) const;
  // Kills every ripper, then waits (bounded) for the one the PID file
  // names to end, so a probe after it does not meet it on its way out.
  void stopAll(const Clock& nowMs) const;
  // Waits (bounded) for the ripper `pidText` to end. True when it ended.
  bool awaitStop(const char* pidText, const Clock& nowMs) const { return awaitEnd(pidText, nowMs); }
};

}  // namespace oruvel::ripper
