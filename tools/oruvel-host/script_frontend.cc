#include "tools/oruvel-host/script_frontend.h"

#include <cerrno>
#include <chrono>
#include <thread>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "host/host.h"
#include "host/inspection.h"
#include "host/lcd_panel.h"
#include "tools/oruvel-host/dump.h"

namespace oruvel_host {
namespace {

std::string trimRight(std::string s) {
  while (!s.empty() && (s.back() == '\r' || s.back() == ' ' || s.back() == '\t')) s.pop_back();
  return s;
}

bool parseNumber(const std::string& text, long long& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  value = std::strtoll(text.c_str(), &end, 0);
  return errno == 0 && *end == '\0';
}

// Everything from a blank followed by '#' is a comment (not for `type`,
// whose text is taken whole).
std::string withoutComment(const std::string& text) {
  size_t hash = text.find(" #");
  return hash == std::string::npos ? text : trimRight(text.substr(0, hash));
}

}  // namespace

std::pair<std::string, std::string> splitCommand(const std::string& line) {
  size_t start = line.find_first_not_of(" \t");
  if (start == std::string::npos) return {"", ""};
  size_t end = line.find_first_of(" \t", start);
  if (end == std::string::npos) return {line.substr(start), ""};
  return {line.substr(start, end - start), line.substr(end + 1)};
}

std::optional<eKey> keyByName(const std::string& name) {
  static const std::pair<const char*, eKey> names[] = {
      {"ok", eKey::ok},         {"exit", eKey::exit},     {"up", eKey::up},
      {"down", eKey::down},     {"left", eKey::left},     {"right", eKey::right},
      {"red", eKey::red},       {"green", eKey::green},   {"yellow", eKey::yellow},
      {"blue", eKey::blue},     {"backspace", eKey::backspace}};
  for (const auto& [text, key] : names)
    if (name == text) return key;
  if (name.size() == 1 && name[0] >= '0' && name[0] <= '9')
    return static_cast<eKey>(static_cast<int>(eKey::n0) + (name[0] - '0'));
  return std::nullopt;
}

ScriptFrontend::ScriptFrontend(const std::string& script) {
  std::istringstream in(script);
  std::string text;
  int number = 0;
  while (std::getline(in, text)) {
    ++number;
    text = trimRight(text);
    size_t start = text.find_first_not_of(" \t");
    if (start == std::string::npos || text[start] == '#') continue;
    lines_.push_back({number, text.substr(start)});
  }
  onGiveUp = [] {
    std::fprintf(stderr,
                 "oruvel-host: the plug-in's windows did not close after %d exit keys; giving up\n",
                 kMaxExitKeys);
    std::fflush(stdout);
    std::_Exit(3);
  };
}

const ScriptFrontend::Line* ScriptFrontend::peek() {
  if (ended_ || next_ >= lines_.size()) return nullptr;
  return &lines_[next_];
}

void ScriptFrontend::fail(const Line& line, const std::string& why) {
  std::fprintf(stderr, "oruvel-host: script line %d: %s (\"%s\")\n", line.number, why.c_str(),
               line.text.c_str());
  failed_ = true;
  ended_ = true;  // the rest is not run; the windows are closed as at the end
}

void ScriptFrontend::sendExitKey() {
  if (++exitKeys_ > kMaxExitKeys) {
    if (onGiveUp) onGiveUp();
    return;
  }
  eApp->keyPress(eKey::exit);
}

void ScriptFrontend::poll() {
  const Line* line = peek();
  if (!line || splitCommand(line->text).first == "again") {
    // The script, or this run of it, is over: leave the way a user would, with exit.
    if (!line) ended_ = true;
    sendExitKey();
    return;
  }
  ++next_;
  runCommand(*line, true);
}

void ScriptFrontend::messageBoxShown(eMessageBox& box) {
  // The answer for this box may still be ahead in the script.
  if (answers_.empty()) {
    const Line* line = peek();
    if (line && splitCommand(line->text).first == "answer") {
      ++next_;
      runCommand(*line, true);
    }
  }
  int value = box.defaultValue();
  if (!answers_.empty()) {
    value = answers_.front();
    answers_.pop_front();
  }
  box.close(value);
}

void ScriptFrontend::runRest() {
  while (const Line* line = peek()) {
    ++next_;
    runCommand(*line, false);
  }
  ended_ = true;
}

void ScriptFrontend::runCommand(const Line& line, bool pluginRunning) {
  auto [command, rest] = splitCommand(line.text);
  const std::string argument = command == "type" ? rest : withoutComment(rest);

  if (command == "key") {
    auto key = keyByName(argument);
    if (!key) return fail(line, "unknown key name \"" + argument + "\"");
    if (!pluginRunning || !eApp->runningWindow()) return fail(line, "no window to send a key to");
    eApp->keyPress(*key);
  } else if (command == "type") {
    eWidget* window = eApp->runningWindow();
    auto* field = window ? dynamic_cast<eTextInputField*>(window->getFocus()) : nullptr;
    if (!field) return fail(line, "the focus is not on a text field");
    if (!field->typeText(argument)) return fail(line, "the text field is not being edited");
  } else if (command == "focus") {
    if (argument.empty()) return fail(line, "focus needs a widget name");
    eWidget* found = nullptr;
    eWidget* running = eApp->runningWindow();
    if (running) found = running->findByName(argument);
    for (eWidget* w : eApp->windows())
      if (!found && w->isVisible()) found = w->findByName(argument);
    if (!found) return fail(line, "no shown widget is named \"" + argument + "\"");
    if (!found->takesFocus() || !found->isVisible())
      return fail(line, "\"" + argument + "\" cannot take the focus");
    found->getTLW()->setFocus(found);
  } else if (command == "answer") {
    long long value = 0;
    if (!parseNumber(argument, value) || value < -2147483648LL || value > 2147483647LL)
      return fail(line, "answer needs a button value such as 1 or 4");
    answers_.push_back(static_cast<int>(value));
  } else if (command == "wait") {
    long long ms = 0;
    if (!parseNumber(argument, ms) || ms < 0) return fail(line, "wait needs milliseconds");
    eApp->advance(ms);
  } else if (command == "dump") {
    for (const auto& text : dumpScreen()) host_transcript::line(text);
  } else if (command == "service") {
    host_transcript::line(
        "service " + host_transcript::quoted(ref2string(eServiceInterface::getInstance()->getCurrentService())));
  } else if (command == "lcd") {
    if (argument.empty()) return fail(line, "lcd needs a file name");
    if (!LcdPanel::writePbm(argument)) return fail(line, "cannot write the LCD picture");
  } else if (command == "lcdlock") {
    const HostInspection::LcdLock lock = HostInspection::lcdLock(*eDBoxLCD::getInstance());
    host_transcript::line("lcdlock locked=" + std::to_string(lock.locked ? 1 : 0) +
                          " count=" + std::to_string(lock.count) +
                          " locks=" + std::to_string(lock.locks) +
                          " unlocks=" + std::to_string(lock.unlocks));
  } else if (command == "decoder") {
    const decoderParameters p = HostInspection::decoderApplied();
    char text[160];
    std::snprintf(text, sizeof text,
                  "decoder vpid=0x%x apid=0x%x tpid=0x%x pcrpid=0x%x audio_type=%d sets=%d",
                  static_cast<unsigned>(p.vpid), static_cast<unsigned>(p.apid),
                  static_cast<unsigned>(p.tpid), static_cast<unsigned>(p.pcrpid), p.audio_type,
                  HostInspection::decoderSets());
    host_transcript::line(text);
  } else if (command == "player") {
    if (!playerLine) return fail(line, "the host has no player");
    // `player STATE` waits, in real time, for the player to reach STATE.
    const std::string prefix = "player " + argument + " ";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kPlayerWaitSeconds);
    std::string now = playerLine();
    while (!argument.empty() && now.compare(0, prefix.size(), prefix) != 0) {
      if (std::chrono::steady_clock::now() > deadline)
        return fail(line, "the player did not reach \"" + argument + "\" (" + now + ")");
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      now = playerLine();
    }
    host_transcript::line(now);
  } else if (command == "again") {
    if (pluginRunning) return fail(line, "the plug-in is still running");
    if (!runPlugin) return fail(line, "the host has no plug-in to run again");
    exitKeys_ = 0;
    const int result = runPlugin();
    host_transcript::line("plugin_exec returned " + std::to_string(result));
  } else if (command == "quit") {
    ended_ = true;
  } else {
    fail(line, "unknown command \"" + command + "\"");
  }
}

}  // namespace oruvel_host
