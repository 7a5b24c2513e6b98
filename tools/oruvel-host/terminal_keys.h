#pragma once
// What a key read from the terminal means to the receiver: a remote-control
// key, a character typed into the text field being edited, or something for
// the front end itself (the terminal was resized, leave Oruvel).
#include "host/ewidget.h"

namespace oruvel_host {

struct KeyAction {
  enum class Kind { None, Key, Type, Resize, Leave };
  Kind kind = Kind::None;
  eKey key = eKey::ok;  // Kind::Key
  char typed = 0;       // Kind::Type

  static KeyAction none() { return {}; }
  static KeyAction of(eKey k) { return {Kind::Key, k, 0}; }
  static KeyAction type(char c) { return {Kind::Type, eKey::ok, c}; }
};

// `ch` as the terminal library's key reader returns it. While a text field
// is being edited, printable characters (digits and letters too) are typed
// into it; otherwise digits are the number keys and r/g/y/b the colour keys.
// F1..F4 are the colour keys always, Ctrl-C asks to leave Oruvel.
KeyAction mapKey(int ch, bool editing);

// The key help line, for both states.
const char* keyHelp(bool editing);

}  // namespace oruvel_host
