#include "host/etextinputfield.h"

eTextInputField::eTextInputField(eWidget* parent, eLabel* description, eWidget* helpWidget,
                                 const char* deco)
    : eButton(parent, description, 1, deco) {
  (void)helpWidget;  // the status bar shows the help of whatever has the focus
}

void eTextInputField::setMaxChars(int count) { maxChars_ = count > 0 ? count : 0; }

void eTextInputField::setUseableChars(const char* chars) { useable_ = chars ? chars : ""; }

bool eTextInputField::accepts(char c) const {
  const unsigned char u = static_cast<unsigned char>(c);
  if (u < 0x20 || u == 0x7f) return false;
  return useable_.empty() || useable_.find(c) != eString::npos;
}

bool eTextInputField::typeChar(char c) {
  if (!editing_ || !accepts(c)) return false;
  if (maxChars_ > 0 && static_cast<int>(getText().size()) >= maxChars_) return false;
  setText(getText() + c);
  return true;
}

bool eTextInputField::typeText(const eString& text) {
  if (!editing_) return false;
  setText(eString());
  for (char c : text) typeChar(c);
  return true;
}

void eTextInputField::setEditing(bool editing) {
  editing_ = editing;
  invalidate();
  SigC::emitGuarded(selected);
}

bool eTextInputField::keyDown(eKey key) {
  if (key == eKey::ok) {
    setEditing(!editing_);
    return true;
  }
  if (!editing_) return false;
  switch (key) {
    case eKey::exit:
      // Leaving the field ends the editing as OK would; the window stays.
      setEditing(false);
      return true;
    case eKey::backspace:
      if (!getText().empty()) setText(getText().substr(0, getText().size() - 1));
      return true;
    case eKey::up:
    case eKey::down:
    case eKey::left:
    case eKey::right:
      // The cursor stays at the end; the focus stays while editing.
      return true;
    default:
      break;
  }
  if (key >= eKey::n0 && key <= eKey::n9) {
    typeChar(static_cast<char>('0' + (static_cast<int>(key) - static_cast<int>(eKey::n0))));
    return true;
  }
  return false;  // colour keys still reach their buttons
}
