// The red key: starting and stopping the ripper from the main window, and
// what the window shows of it. The ripper control (ripper/) does the work.

#include "base/fixed_text.h"
#include "ripper/ripper_control.h"
#include "ui/main_window.h"
#include "ui/message_box.h"

namespace rip = oruvel::ripper;

namespace {
std::int64_t hostClock() { return eApp->now(); }
}  // namespace

void eOruvel::selectedRED() {
  int& RIPflag = state_.ripper.RIPflag;
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
  if (state_.ripper.announced(pid) != rip::PidFile::missing) {
    // A ripper has announced itself: stop it rather than start a second.
    stopRipper(pid);
    return;
  }
  const oruvel::TuneIn& tuneIn = state_.tuneIn;
  if (tuneIn.playlist_string[0] == '\0' || tuneIn.ripp_stream[0] == '\0') {
    rip_status->setText("no station chosen: lumoripper not started.");
    return;
  }
  if (state_.config.RIPPER[0] == '\0') {
    rip_status->setText("RIPPER is not configured: lumoripper not started.");
    return;
  }
  rip_status->setText("lumoripper will be started.");
  // The press returns once the ripper has announced itself, so the next
  // press finds it to stop rather than starting a second one.
  state_.ripper.start(state_.config, oruvel::fixedView(tuneIn.playlist_string), hostClock);
}

void eOruvel::LumoRipperStopp() {
  char pid[7];
  if (state_.ripper.announced(pid) == rip::PidFile::missing) {
    rip_status->setText("lumoripper is not running.");
    return;
  }
  stopRipper(pid);
}

void eOruvel::stopRipper(const char* pidText) {
  if (!state_.ripper.isRipper(pidText)) {
    // Killing whatever else the file names could hit any process.
    state_.ripper.forget();
    rip_status->setText("no lumoripper stopped: /tmp/lumopid named none, removed it.");
    return;
  }
  state_.ripper.stop(pidText);
  eMessageBox box("lumoripper will be stopped.\nplease wait.", "Oruvel", oruvel::kBoxInfoNoButton,
                  eMessageBox::btOK, 0);
  box.show();
  // The probe then sees the ripper gone, and a press that follows starts a
  // new one instead of meeting the old one on its way out.
  state_.ripper.awaitStop(pidText, hostClock);
  findpid();
  box.hide();
}

int eOruvel::findpid() {
  switch (state_.ripper.probe()) {
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
  if (state_.ripper.announced(pid) != rip::PidFile::missing) {
    rip_status->setText(eString().sprintf("lumoripper is running. [PID: %s]", pid));
    rip_button->setText("Stop");
  } else {
    rip_status->setText("lumoripper is not running.");
    rip_button->setText("Rip");
  }
}
