#pragma once
// List boxes and their text entries.
#include <cstddef>
#include <memory>
#include <vector>

#include "host/ewidget.h"

class eListBoxBase;
class eComboBox;
template <class T> class eListBox;
class eListBoxEntryText;

// One entry: a text and a key. The list it was created on owns it.
class HOST_API eListBoxEntry {
 public:
  virtual ~eListBoxEntry();
  eListBoxBase* getListBox() const { return list_; }

 protected:
  explicit eListBoxEntry(eListBoxBase* list);

 private:
  friend class eListBoxBase;
  eListBoxBase* list_;
};

// A text entry. Lists run to tens of thousands of entries, so an entry is
// small: its text is kept in its list's text store (an entry on no list
// keeps its own copy).
class HOST_API eListBoxEntryText : public eListBoxEntry {
 public:
  // Appends itself to the list (or to the combo box's own entry list).
  eListBoxEntryText(eListBox<eListBoxEntryText>* list, const char* text = nullptr,
                    void* key = nullptr, int align = 0, const eString& helpText = eString(),
                    int keyType = 0);
  eListBoxEntryText(eComboBox* combo, const char* text = nullptr, void* key = nullptr,
                    int align = 0, const eString& helpText = eString(), int keyType = 0);
  ~eListBoxEntryText() override;
  eListBoxEntryText(const eListBoxEntryText&) = delete;
  eListBoxEntryText& operator=(const eListBoxEntryText&) = delete;
  const char* getText() const { return text_; }
  void* getKey() const { return key_; }
  static int getEntryHeight();

 private:
  const char* text_;
  void* key_;
  bool ownsText_;
};

// The list itself: entries in order, a highlighted one, a visible window
// of rows that follows the highlight.
class HOST_API eListBoxBase : public eDecoWidget {
 public:
  eListBoxBase(eWidget* parent, const eWidget* description, int takeFocus, int itemHeight,
               const char* deco);
  ~eListBoxBase() override;
  // Between beginAtomic and endAtomic the list is drawn once, at the end.
  void beginAtomic();
  void endAtomic();
  void clearList();
  int getCount() const { return static_cast<int>(entries_.size()); }
  eListBoxEntry* entryAt(int index) const;
  eListBoxEntry* getCurrentEntry() const;
  int getCurrentIndex() const { return current_; }
  // Moves the highlight; emits the highlight signal when it moved.
  void setCurrentIndex(int index, bool sendSignal = true);
  int getTopIndex() const { return top_; }
  int visibleRows() const;
  const char* className() const override { return "eListBox"; }
  bool keyDown(eKey key) override;

  // The entry's row, or -1 when it is not in this list.
  int indexOf(const eListBoxEntry* entry) const;

 protected:
  virtual void emitChosen(eListBoxEntry* entry) = 0;
  virtual void emitHighlighted(eListBoxEntry* entry) = 0;

 private:
  // Entries append and remove themselves, and tell when they are whole.
  friend class eListBoxEntry;
  friend class eListBoxEntryText;
  void appendEntry(eListBoxEntry* entry);
  void removeEntry(eListBoxEntry* entry);
  void entryChanged();
  void clearEntries();
  void keepCurrentVisible();
  // A copy of `text` that lives until the list is cleared or emptied.
  const char* keepText(const char* text);
  void releaseTexts();

  std::vector<eListBoxEntry*> entries_;  // owned
  // The entries' texts, packed into blocks; an entry removed on its own
  // leaves its text here until the list is cleared or emptied.
  std::vector<std::unique_ptr<char[]>> textBlocks_;
  char* textFree_ = nullptr;  // where the next text goes in the last block
  std::size_t textLeft_ = 0;  // and the bytes left there
  int current_ = -1;
  int top_ = 0;
  int itemHeight_;
  int atomic_ = 0;
};

template <class T> class eListBox;

// The list box of text entries: `selected` when an entry is chosen with OK,
// `selchanged` when the highlight moves to another entry.
template <>
class HOST_API eListBox<eListBoxEntryText> : public eListBoxBase {
 public:
  eListBox(eWidget* parent, const eWidget* description = nullptr, int takeFocus = 1,
           int itemHeight = 0, const char* deco = "eListBox");
  eListBoxEntryText* getCurrent() const;
  // Highlights the entry; with sendSignal false nothing is emitted.
  void setCurrent(const eListBoxEntryText* entry, bool sendSignal = false);

  SigC::Signal1<void, eListBoxEntryText*> selected;
  SigC::Signal1<void, eListBoxEntryText*> selchanged;

 protected:
  void emitChosen(eListBoxEntry* entry) override;
  void emitHighlighted(eListBoxEntry* entry) override;
};
