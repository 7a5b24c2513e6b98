#pragma once
// Building the plug-in's widgets: placed before their decoration, as the
// host draws a decoration to the size it finds.
#include "host/host.h"

namespace oruvel {

// Moves and sizes a freshly created child, before its decoration.
template <class W>
W* placed(W* widget, int x, int y, int width, int height) {
  widget->move(ePoint(x, y));
  widget->resize(eSize(width, height));
  return widget;
}

// A decorated label child of parent, showing text.
inline eLabel* makeLabel(eWidget* parent, int x, int y, int width, int height, const char* text) {
  eLabel* label = placed(new eLabel(parent, 0, 0, "eLabel"), x, y, width, height);
  label->loadDeco();
  label->setText(text);
  return label;
}

}  // namespace oruvel
