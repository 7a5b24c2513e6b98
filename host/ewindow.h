#pragma once
#include "host/ewidget.h"

// A top-level window with a title, placed by its client area.
class HOST_API eWindow : public eWidget {
 public:
  // The style picks the receiver's window decoration; this host draws one.
  explicit eWindow(int style = 0);
  ~eWindow() override;
  // Client area position and size (the title bar lies above it).
  void cmove(const ePoint& position);
  void cresize(const eSize& size);
  ePoint getClientPosition() const { return clientPos_; }
  eSize getClientSize() const { return clientSize_; }
  const char* className() const override { return "eWindow"; }
  // Window keys: focus moves with the arrows, colour keys reach the button
  // that carries that shortcut, exit closes the window with 0.
  bool keyDown(eKey key) override;

 private:
  ePoint clientPos_;
  eSize clientSize_;
};
