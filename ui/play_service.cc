// The plug-in's two calls into the host's player and the ripper probe,
// shared by the run and the windows.
#include "ui/play_service.h"

#include "host/host.h"
int my_findpid(const oruvel::ripper::Control& ripper) { return ripper.running() ? 1 : 0; }

int my_playService(const eServiceReference& ref) {
  if (eServiceReference::locked.count(ref)) {
    eConfig* config = eConfig::getInstance();
    if (config->parentalLockActive()) {
      int hideLocked = 0;
      if (config->getKey("/elitedvb/hidelocked", hideLocked) != 0) hideLocked = 0;
      // A locked service is refused whatever the key holds.
      (void)hideLocked;
      return 0;
    }
  }
  eZapMain::getInstance()->playService(ref, 40);
  return 1;
}
