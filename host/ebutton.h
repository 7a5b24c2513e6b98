#pragma once
#include "host/elabel.h"

// A push button: OK on it (or its colour key) emits `selected`.
class HOST_API eButton : public eLabel {
 public:
  eButton(eWidget* parent, eLabel* description = nullptr, int takeFocus = 1,
          const char* deco = "eButton");
  // Binds a colour key ("red", "green", "yellow", "blue") to this button.
  void setShortcut(const eString& colour);
  void setShortcutPixmap(const eString& colour);
  const eString& getShortcut() const { return shortcut_; }
  const eString& getShortcutPixmap() const { return shortcutPixmap_; }
  const char* className() const override { return "eButton"; }
  bool keyDown(eKey key) override;

  SigC::Signal0<void> selected;

 private:
  eString shortcut_, shortcutPixmap_;
};
