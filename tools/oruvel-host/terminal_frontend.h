#pragma once
// The interactive front end of the desktop host: draws the receiver's
// screen, every shown window and widget at its scaled place, the live
// front-panel LCD and a player line in the terminal, and turns keys into
// remote-control keys. It talks to the terminal through /dev/tty, so the
// program's standard output and error can go to the log.
#include <cstdint>
#include <cstdio>
#include <string>

#include "host/eapplication.h"
#include "tools/oruvel-host/terminal_keys.h"
#include "tools/oruvel-host/terminal_layout.h"

class eMessageBox;
class eTextInputField;
struct screen;  // the terminal library's screen

namespace oruvel_host {

class StreamPlayer;

// The text field of the running window that is being edited, if any.
eTextInputField* editingField();
// Hands one key to the running window the way the terminal front end does:
// remote keys to the focused widget, typed characters to the field being
// edited. Leave and Resize are the front end's own and do nothing here.
void applyKeyAction(const KeyAction& action);

class TerminalFrontend : public eFrontend {
 public:
  struct Setup {
    StreamPlayer* player = nullptr;  // the real player, for the player line; null: stub
    bool sound = false;              // the player plays on a sound device
    std::string logPath;             // shown on the player line
    std::string wavFile;             // without sound: the WAV file decoded into
  };

  explicit TerminalFrontend(Setup setup);
  ~TerminalFrontend() override;
  TerminalFrontend(const TerminalFrontend&) = delete;
  TerminalFrontend& operator=(const TerminalFrontend&) = delete;

  // Takes over the terminal; false with the reason when there is none.
  bool open(std::string& error);
  // Gives the terminal back and prints `line` on it (the host's last word).
  void finish(const std::string& line);

  void poll() override;
  void changed(eWidget* widget) override;
  void messageBoxShown(eMessageBox& box) override;
  void windowEntered(eWidget* window) override;
  void windowLeft(eWidget* window) override;

 private:
  void handle(int ch);
  void leaveStep();
  void draw();
  void drawScreen(const TerminalLayout& layout);
  void drawLcd(const TerminalLayout& layout);
  void drawFoot(const TerminalLayout& layout);
  std::string playerText() const;

  Setup setup_;
  std::FILE* tty_ = nullptr;
  ::screen* term_ = nullptr;
  bool unicode_ = false;
  bool colour_ = false;
  bool dirty_ = true;
  bool drawing_ = false;
  bool leaving_ = false;
  int leaveKeys_ = 0;
  int lcdFrames_ = -1;
  std::uint64_t playerVersion_ = 0;
};

}  // namespace oruvel_host
