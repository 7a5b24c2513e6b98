// The entry point and one run of the plug-in, from the host's call to the
// hand-back of the service that played before.
#include <string>
#include <vector>

#include "base/version.h"
#include "host/host.h"
#include "base/config.h"
#include "base/fixed_paths.h"
#include "base/fs_root.h"
#include "ui/play_service.h"
#include "base/shell.h"
#include "ripper/ripper_control.h"
#include "ui/main_window.h"
#include "ui/message_box.h"
#include "ui/plugin_state.h"

namespace {

// Everything the plug-in keeps between its runs, built when the library is
// loaded (the display opens the LCD then) and kept until it is unloaded.
// The plug-in's only mutable object at namespace scope: each run and its
// windows get it, or the part of it they need, as a parameter.
oruvel::PluginState loaded;

// A modal box; the value of the button that closed it.
int ask(const char* text, int flags) { return oruvel::askUser(text, "Oruvel", flags); }

// At entry the user has to close the notice before the ripper is stopped;
// at the end it is only on screen while the ripper is stopped.
void offerToStopRipper(const oruvel::ripper::Control& ripper, bool atEntry) {
  if (my_findpid(ripper) == 0) return;
  if (ask("lumoripper is running. press OK to stopp ripping.", oruvel::kBoxInfoOkCancel) !=
      eMessageBox::btOK)
    return;
  eMessageBox wait("lumoripper will be stopped.\nplease wait.", "Oruvel",
                   atEntry ? oruvel::kBoxInfoOk : oruvel::kBoxOk, eMessageBox::btOK, 0);
  wait.show();
  if (atEntry) wait.exec();
  ripper.stopAll([] { return eApp->now(); });
  my_findpid(ripper);
  wait.hide();
}

void tellOverlongKeys(const oruvel::Config& config) {
  const std::vector<const char*>& keys = config.tooLongKeys;
  if (keys.empty()) return;
  std::string text = "These settings in oruvel.conf are too long and were not used:";
  for (std::size_t i = 0; i < keys.size(); ++i) text += std::string(i ? ", " : " ") + keys[i];
  text += ".\nRIPDIR takes at most 255 characters, the others 127.";
  ask(text.c_str(), oruvel::kBoxInfoOk);
}

void removeTemporaryFile(const char* fixedPath) {
  oruvel::runShell("rm -f " + oruvel::shellQuote(oruvel::rootedPath(fixedPath)));
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int plugin_exec() {
  eString savedService;
  if (eServiceInterface* services = eDVB::getInstance()->getServiceAPI())
    savedService = ref2string(services->getCurrentService());

  offerToStopRipper(loaded.ripper, true);

  if (ReadConfFile(loaded.config) == 1) {
    ask("Configuration read error!\n", oruvel::kBoxInfoOk);
    return 1;
  }
  tellOverlongKeys(loaded.config);

  eOruvel window(loaded);
  window.show();
  int closedWith = window.exec();
  window.hide();

  removeTemporaryFile(oruvel::paths::kLumoNet);
  removeTemporaryFile(oruvel::paths::kLumoPidProbe);
  removeTemporaryFile(oruvel::paths::kLumoList);

  offerToStopRipper(loaded.ripper, false);

  if (closedWith != 0)
    ask("Oruvel V" ORUVEL_VERSION " by kWIBEL\nListen to internet radio stations and record them.", oruvel::kBoxInfoOk);

  my_playService(string2ref(savedService));
  return 0;
}
