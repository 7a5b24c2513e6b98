#include "tools/oruvel-host/terminal_keys.h"

#include <curses.h>

namespace oruvel_host {
namespace {
constexpr int kEscape = 27, kCtrlC = 3, kCtrlH = 8, kDelete = 127;

eKey colourForLetter(int ch) {
  switch (ch) {
    case 'r': case 'R': return eKey::red;
    case 'g': case 'G': return eKey::green;
    case 'y': case 'Y': return eKey::yellow;
    default: return eKey::blue;  // 'b', 'B'
  }
}
}  // namespace

KeyAction mapKey(int ch, bool editing) {
  switch (ch) {
    case KEY_UP: return KeyAction::of(eKey::up);
    case KEY_DOWN: return KeyAction::of(eKey::down);
    case KEY_LEFT: return KeyAction::of(eKey::left);
    case KEY_RIGHT: return KeyAction::of(eKey::right);
    case '\n': case '\r': case KEY_ENTER: return KeyAction::of(eKey::ok);
    case kEscape: return KeyAction::of(eKey::exit);
    case KEY_BACKSPACE: case kDelete: case kCtrlH: return KeyAction::of(eKey::backspace);
    case KEY_RESIZE: return {KeyAction::Kind::Resize, eKey::ok, 0};
    case kCtrlC: return {KeyAction::Kind::Leave, eKey::ok, 0};
    default: break;
  }
  if (ch == KEY_F(1)) return KeyAction::of(eKey::red);
  if (ch == KEY_F(2)) return KeyAction::of(eKey::green);
  if (ch == KEY_F(3)) return KeyAction::of(eKey::yellow);
  if (ch == KEY_F(4)) return KeyAction::of(eKey::blue);
  if (ch < 0 || ch > 0xff) return KeyAction::none();  // other function keys
  if (editing) {
    // Bytes of UTF-8 arrive one by one and are typed one by one.
    if (ch >= 0x20 && ch != kDelete) return KeyAction::type(static_cast<char>(ch));
    return KeyAction::none();
  }
  if (ch >= '0' && ch <= '9')
    return KeyAction::of(static_cast<eKey>(static_cast<int>(eKey::n0) + (ch - '0')));
  switch (ch) {
    case 'r': case 'R': case 'g': case 'G': case 'y': case 'Y': case 'b': case 'B':
      return KeyAction::of(colourForLetter(ch));
    default:
      return KeyAction::none();
  }
}

const char* keyHelp(bool editing) {
  if (editing)
    return "Typing into the field: letters and digits type, Backspace deletes, Enter or Esc "
           "ends editing, F1 red F2 green F3 yellow F4 blue, Ctrl-C leaves";
  return "Arrows move  Enter OK  Esc exit  0-9 digits  r/F1 red  g/F2 green  y/F3 yellow  "
         "b/F4 blue  Ctrl-C leaves";
}

}  // namespace oruvel_host
