#pragma once
#include "host/ebutton.h"
#include "host/elistbox.h"

// A selector: OK opens its list of entries (openEntries rows at a time),
// OK in the list chooses the highlighted entry and emits `selchanged` with
// it; exit leaves the list without a choice and emits `selchanged` with
// null. The button shows the current entry's text. While the list is open
// the combo box takes every key.
class HOST_API eComboBox : public eButton {
 public:
  eComboBox(eWidget* parent, int openEntries = 5, eLabel* description = nullptr,
            int takeFocus = 1, const char* deco = "eComboBox");
  ~eComboBox() override;
  // The combo box's own entry list (entries are created on it).
  eListBox<eListBoxEntryText>* getListBox() const { return list_; }
  int getCount() const;
  // The current entry; null when none was chosen or it left the list.
  eListBoxEntryText* getCurrent() const;
  // Makes the entry current; with sendSignal false nothing is emitted.
  void setCurrent(const eListBoxEntryText* entry, bool sendSignal = false);
  int getOpenEntries() const { return openEntries_; }
  bool isOpen() const { return open_; }
  // While open: the highlighted entry of the list.
  eListBoxEntryText* getHighlighted() const { return list_->getCurrent(); }
  const char* className() const override { return "eComboBox"; }
  bool keyDown(eKey key) override;

  SigC::Signal1<void, eListBoxEntryText*> selchanged;

 private:
  eListBox<eListBoxEntryText>* list_;  // owned
  eListBoxEntryText* current_ = nullptr;
  int openEntries_;
  bool open_ = false;
};
