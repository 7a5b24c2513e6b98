// The red key: starting and stopping the ripper from the main window.
#include "ui/ripper_window.h"

#include <cstdlib>
#include <string>

#include "directory/tune_in.h"
#include "base/config.h"
#include "base/shell.h"
#include "ripper/ripper_files.h"
#include "ui/main_window.h"
#include "ui/message_box.h"

int RIPflag = 0;

namespace rip = oruvel::ripper;

namespace {
std::int64_t hostClock() { return eApp->now(); }
}  // namespace

void eOruvel::selectedRED() {
  if (RIPflag == 0) {
    rip_status->setText("start ripping");
    LumoRipperStart();
    RIPflag = 1;
    rip_button->setText("Stop");
  } else {
    rip_status->setText("stop ripping");
    LumoRipperStopp();
    RIPflag = 0;
    rip_button->setText("Rip");
  }
}

void eOruvel::LumoRipperStart() {
  char pid[7];
  if (rip::readPidFile(pid) != rip::PidFile::missing) {
    // A ripper has announced itself: stop it rather than start a second.
    stopRipper(pid);
    return;
  }
  if (playlist_string[0] == '\0' || ripp_stream[0] == '\0') {
    rip_status->setText("no station chosen: lumoripper not started.");
    return;
  }
  if (RIPPER[0] == '\0') {
    rip_status->setText("RIPPER is not configured: lumoripper not started.");
    return;
  }
  rip_status->setText("lumoripper will be started.");
  // The ripper's output must not hold on to the host's terminal or pipes;
  // the shell tells which process it started.
  const std::string started = oruvel::shellOutput(
      oruvel::ripperCommandLine() + " > /dev/null 2>&1 < /dev/null & echo $!", 32);
  // The press returns once the ripper has announced itself, so the next
  // press finds it to stop rather than starting a second one.
  rip::awaitAnnouncement(std::strtol(started.c_str(), nullptr, 10), hostClock);
}

void eOruvel::LumoRipperStopp() {
  char pid[7];
  if (rip::readPidFile(pid) == rip::PidFile::missing) {
    rip_status->setText("lumoripper is not running.");
    return;
  }
  stopRipper(pid);
}

void eOruvel::stopRipper(const char* pidText) {
  if (!rip::isRunningRipper(pidText)) {
    // Killing whatever else the file names could hit any process.
    rip::removePidFile();
    rip_status->setText("no lumoripper stopped: /tmp/lumopid named none, removed it.");
    return;
  }
  oruvel::runShell(rip::killCommand(pidText));
  eMessageBox box("lumoripper will be stopped.\nplease wait.", "Oruvel", oruvel::kBoxInfoNoButton,
                  eMessageBox::btOK, 0);
  box.show();
  // The probe then sees the ripper gone, and a press that follows starts a
  // new one instead of meeting the old one on its way out.
  rip::awaitEnd(pidText, hostClock);
  findpid();
  box.hide();
}

int eOruvel::findpid() {
  switch (rip::probe()) {
    case rip::Probe::unknown:
      return 0;
    case rip::Probe::none:
      rip_status->setText("lumoripper is not running");
      rip_button->setText("Rip");
      return 0;
    case rip::Probe::running:
      break;
  }
  rip_status->setText("lumoripper is running.");
  rip_button->setText("Stop");
  return 1;
}

void eOruvel::LumoRipperStatus() {
  char pid[7];
  if (rip::readPidFile(pid) != rip::PidFile::missing) {
    rip_status->setText(eString().sprintf("lumoripper is running. [PID: %s]", pid));
    rip_button->setText("Stop");
  } else {
    rip_status->setText("lumoripper is not running.");
    rip_button->setText("Rip");
  }
}
