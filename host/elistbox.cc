#include "host/elistbox.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr int kEntryHeight = 20;
// The text blocks grow from 1 KB to 16 KB, so a short list takes little.
constexpr std::size_t kFirstTextBlockBytes = 1024;
constexpr std::size_t kGrowingTextBlocks = 4;
}  // namespace

eListBoxEntry::eListBoxEntry(eListBoxBase* list) : list_(list) {
  if (list_) list_->appendEntry(this);
}

eListBoxEntry::~eListBoxEntry() {
  if (list_) list_->removeEntry(this);
}

eListBoxEntryText::eListBoxEntryText(eListBox<eListBoxEntryText>* list, const char* text,
                                     void* key, int align, const eString& helpText, int keyType)
    : eListBoxEntry(list), text_(""), key_(key), ownsText_(list == nullptr) {
  if (text && *text) {
    if (ownsText_) {
      const std::size_t size = std::strlen(text) + 1;
      text_ = static_cast<char*>(std::memcpy(new char[size], text, size));
    } else {
      text_ = list->keepText(text);
    }
  }
  // Alignment, the entry's help text and the key's type are the receiver's
  // drawing matters; this host shows every entry the same way.
  (void)align;
  (void)helpText;
  (void)keyType;
  // The list is told once the text is set, so it draws the whole entry.
  if (getListBox()) getListBox()->entryChanged();
}

eListBoxEntryText::~eListBoxEntryText() {
  if (ownsText_ && *text_) delete[] text_;
}

int eListBoxEntryText::getEntryHeight() { return kEntryHeight; }

eListBoxBase::eListBoxBase(eWidget* parent, const eWidget* description, int takeFocus,
                           int itemHeight, const char* deco)
    : eDecoWidget(parent, takeFocus, deco), itemHeight_(itemHeight) {
  (void)description;
}

eListBoxBase::~eListBoxBase() { clearEntries(); }

void eListBoxBase::clearEntries() {
  std::vector<eListBoxEntry*> entries = std::move(entries_);
  entries_.clear();
  for (eListBoxEntry* entry : entries) {
    entry->list_ = nullptr;
    delete entry;
  }
  releaseTexts();
  current_ = -1;
  top_ = 0;
}

const char* eListBoxBase::keepText(const char* text) {
  const std::size_t size = std::strlen(text) + 1;
  if (size > textLeft_) {
    // The rest of the last block stays unused; a longer text gets a block
    // of its own size.
    const std::size_t blocks = std::min(textBlocks_.size(), kGrowingTextBlocks);
    const std::size_t bytes = std::max(size, kFirstTextBlockBytes << blocks);
    textBlocks_.emplace_back(new char[bytes]);
    textFree_ = textBlocks_.back().get();
    textLeft_ = bytes;
  }
  char* copy = static_cast<char*>(std::memcpy(textFree_, text, size));
  textFree_ += size;
  textLeft_ -= size;
  return copy;
}

void eListBoxBase::beginAtomic() { ++atomic_; }

void eListBoxBase::endAtomic() {
  if (atomic_ > 0) --atomic_;
  if (atomic_ == 0) invalidate();
}

void eListBoxBase::clearList() {
  clearEntries();
  entryChanged();
}

eListBoxEntry* eListBoxBase::entryAt(int index) const {
  if (index < 0 || index >= getCount()) return nullptr;
  return entries_[static_cast<size_t>(index)];
}

eListBoxEntry* eListBoxBase::getCurrentEntry() const { return entryAt(current_); }

int eListBoxBase::indexOf(const eListBoxEntry* entry) const {
  auto it = std::find(entries_.begin(), entries_.end(), entry);
  return it == entries_.end() ? -1 : static_cast<int>(it - entries_.begin());
}

int eListBoxBase::visibleRows() const {
  const int height = itemHeight_ > 0 ? itemHeight_ : eListBoxEntryText::getEntryHeight();
  return std::max(1, getSize().height / height);
}

void eListBoxBase::keepCurrentVisible() {
  if (current_ < 0) {
    top_ = 0;
    return;
  }
  const int rows = visibleRows();
  if (current_ < top_) top_ = current_;
  if (current_ >= top_ + rows) top_ = current_ - rows + 1;
  if (top_ < 0) top_ = 0;
}

void eListBoxBase::setCurrentIndex(int index, bool sendSignal) {
  if (index < 0 || index >= getCount()) return;
  const bool moved = index != current_;
  current_ = index;
  keepCurrentVisible();
  invalidate();
  if (moved && sendSignal) emitHighlighted(entries_[static_cast<size_t>(index)]);
}

bool eListBoxBase::keyDown(eKey key) {
  switch (key) {
    case eKey::up:
      if (current_ <= 0) return false;  // the focus moves on instead
      setCurrentIndex(current_ - 1, true);
      return true;
    case eKey::down:
      if (current_ < 0 || current_ >= getCount() - 1) return false;
      setCurrentIndex(current_ + 1, true);
      return true;
    case eKey::ok:
      if (eListBoxEntry* entry = getCurrentEntry()) {
        emitChosen(entry);
        return true;
      }
      return false;
    default:
      return false;
  }
}

void eListBoxBase::appendEntry(eListBoxEntry* entry) {
  entries_.push_back(entry);
  if (current_ < 0) current_ = 0;  // quietly: nothing was highlighted before
}

void eListBoxBase::releaseTexts() {
  textBlocks_.clear();
  textFree_ = nullptr;
  textLeft_ = 0;
}

void eListBoxBase::removeEntry(eListBoxEntry* entry) {
  const int index = indexOf(entry);
  if (index < 0) return;
  entries_.erase(entries_.begin() + index);
  // With the last entry gone, no text in the store is needed any more.
  if (entries_.empty()) releaseTexts();
  if (current_ >= getCount()) current_ = getCount() - 1;
  keepCurrentVisible();
  entryChanged();
}

void eListBoxBase::entryChanged() {
  if (atomic_ == 0) invalidate();
}

eListBox<eListBoxEntryText>::eListBox(eWidget* parent, const eWidget* description, int takeFocus,
                                      int itemHeight, const char* deco)
    : eListBoxBase(parent, description, takeFocus, itemHeight, deco) {}

eListBoxEntryText* eListBox<eListBoxEntryText>::getCurrent() const {
  return static_cast<eListBoxEntryText*>(getCurrentEntry());
}

void eListBox<eListBoxEntryText>::setCurrent(const eListBoxEntryText* entry, bool sendSignal) {
  const int index = indexOf(entry);
  if (index >= 0) setCurrentIndex(index, sendSignal);
}

void eListBox<eListBoxEntryText>::emitChosen(eListBoxEntry* entry) {
  SigC::emitGuarded(selected, static_cast<eListBoxEntryText*>(entry));
}

void eListBox<eListBoxEntryText>::emitHighlighted(eListBoxEntry* entry) {
  SigC::emitGuarded(selchanged, static_cast<eListBoxEntryText*>(entry));
}
