#pragma once
#include "host/ewidget.h"

class HOST_API eLabel : public eDecoWidget {
 public:
  // The flags choose the receiver's text alignment and wrapping; this host
  // draws every label the same way.
  eLabel(eWidget* parent, int flags = 0, int takeFocus = 0, const char* deco = "eLabel");
  const char* className() const override { return "eLabel"; }
};
