#pragma once
// The headless front end of the desktop host: every event loop that polls
// it runs the next command of a script; message boxes close at once with
// the answer the script gave for them (or their default).
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "host/eapplication.h"

namespace oruvel_host {

class ScriptFrontend : public eFrontend {
 public:
  // Exit keys sent to a window that will not close before giving up.
  static constexpr int kMaxExitKeys = 50;
  // How long `player STATE` waits before the script fails.
  static constexpr int kPlayerWaitSeconds = 60;

  explicit ScriptFrontend(const std::string& script);

  void poll() override;
  void messageBoxShown(eMessageBox& box) override;

  // After plugin_exec returned: runs what is left of the script, as far as
  // it makes sense without a window.
  void runRest();
  // A command failed (unknown, malformed, or impossible right now).
  bool failed() const { return failed_; }
  // Called when windows do not close after kMaxExitKeys exit keys;
  // the default prints an error and ends the program.
  std::function<void()> onGiveUp;
  // The `player` command's line: `player STATE "TEXT"`.
  std::function<std::string()> playerLine;
  // The `again` command: calls plugin_exec once more, in the same loaded
  // plug-in, and returns what it returned.
  std::function<int()> runPlugin;

 private:
  struct Line {
    int number;
    std::string text;
  };
  // The next command line (comments and blank lines skipped); null at the end.
  const Line* peek();
  void runCommand(const Line& line, bool pluginRunning);
  void fail(const Line& line, const std::string& why);
  void sendExitKey();

  std::vector<Line> lines_;
  size_t next_ = 0;
  bool ended_ = false;   // script done: ran out, quit or failed
  bool failed_ = false;
  int exitKeys_ = 0;
  std::deque<int> answers_;
};

// Splits "word rest" at the first blank; rest keeps inner blanks.
std::pair<std::string, std::string> splitCommand(const std::string& line);
// Key names of the script: ok, exit, up, down, left, right, red, green,
// yellow, blue, 0..9 (and backspace).
std::optional<eKey> keyByName(const std::string& name);

}  // namespace oruvel_host
