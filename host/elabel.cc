#include "host/elabel.h"

#include "host/ebutton.h"
#include "host/estatusbar.h"

eLabel::eLabel(eWidget* parent, int flags, int takeFocus, const char* deco)
    : eDecoWidget(parent, takeFocus, deco), flags_(flags) {}

eButton::eButton(eWidget* parent, eLabel* description, int takeFocus, const char* deco)
    : eLabel(parent, 0, takeFocus, deco), description_(description) {}

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

eStatusBar::eStatusBar(eWidget* parent, int flags, const char* deco)
    : eLabel(parent, flags, 0, deco) {}

eString eStatusBar::currentText() const {
  const eWidget* focus = getFocus();
  return focus ? focus->getHelpText() : eString();
}
