// A small plug-in for running oruvel-host in tests: a question that tells
// what the host set up for it, then a window whose green button asks again.
#include <cstdlib>

#include "host/host.h"

extern "C" __attribute__((visibility("default"))) int plugin_exec() {
  eServiceInterface* api = eDVB::getInstance()->getServiceAPI();
  const eServiceReference current = api ? api->getCurrentService() : eServiceReference();
  int hide = -1;
  eConfig::getInstance()->getKey("/elitedvb/hidelocked", hide);
  const char *root = std::getenv("ORUVEL_ROOT"), *directory = std::getenv("ORUVEL_DIRECTORY");
  eString text;
  eMessageBox start(text.sprintf("locked=%d active=%d hidelocked=%d root=%s directory=%s",
                                 static_cast<int>(eServiceReference::locked.count(current)),
                                 eConfig::getInstance()->parentalLockActive() ? 1 : 0, hide, root ? root : "-",
                                 directory ? directory : "-"),
                    "Test", 0x23, 1, 0);
  start.show();
  const int go = start.exec();
  start.hide();
  if (go != 1) return 7;
  eWindow window(1);
  auto* ask = new eButton(&window);
  ask->setName("ask");
  ask->setShortcut("green");
  ask->selected.connect([ask] {
    eMessageBox question("Really \"that\\1\"?\nSecond line", "Question", 0x2c, 1, 0);
    question.show();
    eString answer;
    ask->setText(answer.sprintf("answer %d", question.exec()));
    question.hide();
  });
  window.setFocus(ask);
  window.show();
  return window.exec();
}
