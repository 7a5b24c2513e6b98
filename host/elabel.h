#pragma once
#include "host/ewidget.h"

class HOST_API eLabel : public eDecoWidget {
 public:
  eLabel(eWidget* parent, int flags = 0, int takeFocus = 0, const char* deco = "eLabel");
  int getFlags() const { return flags_; }
  const char* className() const override { return "eLabel"; }

 private:
  int flags_;
};
