#pragma once
#include <memory>

#include "host/ebutton.h"
#include "host/ewindow.h"

class eTimer;

// A message box. Buttons come from the flag bits, in the order OK, Cancel,
// Yes, No; exec() returns the value of the button that closed it. The
// highlight starts on the default button when the box has it, otherwise on
// its first button. The arrows move the highlight, OK closes the box with
// the highlighted button's value, exit with the declining value (Cancel,
// else No, else the default). A box with a time-out closes with its default
// after that many seconds. The box is centred on the 720 x 576 screen and
// sized to its text.
class HOST_API eMessageBox : public eWindow {
 public:
  enum {
    btOK = 1,       // "OK"
    btCancel = 2,   // "Cancel"
    btYes = 4,      // "Yes" (the confirming answer)
    btNo = 8,       // "No"
    iconInfo = 0x20 // the host's information style
  };
  static constexpr int kScreenWidth = 720, kScreenHeight = 576;

  eMessageBox(eString message, eString caption, int flags = btOK, int defaultButton = btOK,
              int timeout = 0);
  ~eMessageBox() override;
  const eString& getMessage() const { return message_; }
  int getFlags() const { return flags_; }
  // Button values in display order, and their labels.
  std::vector<int> buttons() const;
  static const char* buttonLabel(int value);
  // The value the box closes with when nobody chooses (the button the
  // highlight starts on) and when it is left with exit.
  int defaultValue() const;
  int declineValue() const;
  const char* className() const override { return "eMessageBox"; }
  bool keyDown(eKey key) override;
  // The highlighted button's value (the default for a box without buttons).
  int getSelectedButton() const;
  // The label showing the message.
  eLabel* getTextLabel() const { return textLabel_; }

 protected:
  void willShow() override;
  void execStarted() override;
  void execFinished(int result) override;

 private:
  struct Choice {
    eButton* button;
    int value;
  };
  void choose(int value) { close(value); }

  eString message_;
  int flags_, default_, timeout_;
  eLabel* textLabel_ = nullptr;
  std::vector<Choice> choices_;
  std::unique_ptr<eTimer> timer_;
};
