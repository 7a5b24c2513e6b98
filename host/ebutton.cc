#include "host/ebutton.h"

eButton::eButton(eWidget* parent, eLabel* description, int takeFocus, const char* deco)
    : eLabel(parent, 0, takeFocus, deco) {
  (void)description;
}

void eButton::setShortcut(const eString& colour) {
  shortcut_ = colour;
  invalidate();
}

void eButton::setShortcutPixmap(const eString& colour) {
  shortcutPixmap_ = colour;
  invalidate();
}

bool eButton::keyDown(eKey key) {
  if (key != eKey::ok) return false;
  SigC::emitGuarded(selected);
  return true;
}
