#include "host/estatusbar.h"

eStatusBar::eStatusBar(eWidget* parent, int flags, const char* deco)
    : eLabel(parent, flags, 0, deco) {}

eString eStatusBar::currentText() const {
  const eWidget* focus = getFocus();
  return focus ? focus->getHelpText() : eString();
}
