#pragma once
#include "host/ewidget.h"

// A message box. Buttons come from the flag bits; exec() returns the value
// of the button that closed it.
class HOST_API eMessageBox : public eWindow {
 public:
  enum {
    btOK = 1,       // "OK"
    btCancel = 2,   // "Cancel"
    btYes = 4,      // "Yes" (the confirming answer)
    btNo = 8,       // "No"
    iconInfo = 0x20 // the host's information style
  };
  eMessageBox(eString message, eString caption, int flags = btOK, int defaultButton = btOK,
              int timeout = 0);
  ~eMessageBox() override;
  const eString& getMessage() const { return message_; }
  int getFlags() const { return flags_; }
  int getDefaultButton() const { return default_; }
  // Button values in display order, and their labels.
  std::vector<int> buttons() const;
  static const char* buttonLabel(int value);
  int getTimeout() const { return timeout_; }
  const char* className() const override { return "eMessageBox"; }
  bool keyDown(eKey key) override;
  // The highlighted button's value.
  int getSelectedButton() const { return selected_; }

 private:
  eString message_;
  int flags_, default_, timeout_;
  int selected_;
};
