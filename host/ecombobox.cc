#include "host/ecombobox.h"

eComboBox::eComboBox(eWidget* parent, int openEntries, eLabel* description, int takeFocus,
                     const char* deco)
    : eButton(parent, description, takeFocus, deco),
      // The entry list is not a child: it shows only while the box is open.
      list_(new eListBox<eListBoxEntryText>(nullptr, nullptr, 1, 0, "eListBox")),
      openEntries_(openEntries > 0 ? openEntries : 1) {
  list_->resize(eSize(0, openEntries_ * eListBoxEntryText::getEntryHeight()));
}

eComboBox::~eComboBox() { delete list_; }

int eComboBox::getCount() const { return list_->getCount(); }

eListBoxEntryText* eComboBox::getCurrent() const {
  return list_->indexOf(current_) >= 0 ? current_ : nullptr;
}

void eComboBox::setCurrent(const eListBoxEntryText* entry, bool sendSignal) {
  eListBoxEntryText* chosen = nullptr;
  if (entry && list_->indexOf(entry) >= 0) chosen = const_cast<eListBoxEntryText*>(entry);
  current_ = chosen;
  setText(chosen ? chosen->getText() : eString());
  if (chosen) list_->setCurrent(chosen, false);
  if (sendSignal) SigC::emitGuarded(selchanged, chosen);
}

bool eComboBox::keyDown(eKey key) {
  if (!open_) {
    if (key != eKey::ok) return false;
    open_ = true;
    if (eListBoxEntryText* current = getCurrent()) list_->setCurrent(current, false);
    invalidate();
    return true;
  }
  switch (key) {
    case eKey::up:
    case eKey::down:
      list_->keyDown(key);
      invalidate();
      return true;
    case eKey::ok: {
      // Closed before the signal: its handler may close the window.
      open_ = false;
      eListBoxEntryText* chosen = list_->getCurrent();
      if (chosen) {
        current_ = chosen;
        setText(chosen->getText());
      } else {
        invalidate();
      }
      SigC::emitGuarded(selchanged, chosen);
      return true;
    }
    case eKey::exit:
      open_ = false;
      invalidate();
      SigC::emitGuarded(selchanged, nullptr);
      return true;
    default:
      return true;
  }
}

// An entry made on a combo box goes into the combo box's own list.
eListBoxEntryText::eListBoxEntryText(eComboBox* combo, const char* text, void* key, int align,
                                     const eString& helpText, int keyType)
    : eListBoxEntryText(combo ? combo->getListBox() : nullptr, text, key, align, helpText,
                        keyType) {}
