#pragma once
#include "host/elabel.h"

// Shows the help text of the focused widget of its window.
class HOST_API eStatusBar : public eLabel {
 public:
  explicit eStatusBar(eWidget* parent, int flags = 0, const char* deco = "eStatusBar");
  // The text shown now: the focused widget's help text.
  eString currentText() const;
  const char* className() const override { return "eStatusBar"; }
};
