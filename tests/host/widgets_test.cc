// The widgets where the plug-in's runs do not reach: hidden buttons, focus
// wrapping, refused typing, list and combo ends, and deleted widgets (the
// window deletes its children: a leak shows under the sanitizers).
#include <cstdint>

#include "tests/host/host_fixture.h"

namespace {
void* key(int n) { return reinterpret_cast<void*>(static_cast<std::intptr_t>(n)); }
int keyOf(eListBoxEntryText* e) { return e ? static_cast<int>(reinterpret_cast<std::intptr_t>(e->getKey())) : -1; }
}  // namespace

using Widgets = HostTest;

TEST_F(Widgets, ColourKeysArrowsTextFieldsAndDeletedWidgets) {
  eWindow window;
  auto* a = new eButton(&window);
  a->setShortcut("green");
  new eLabel(&window);  // takes no focus
  auto* hidden = new eButton(&window);
  hidden->setShortcut("blue");
  hidden->hide();
  auto* field = new eTextInputField(&window);
  std::string pressed;
  a->selected.connect([&] { pressed += 'g'; });
  hidden->selected.connect([&] { pressed += 'b'; });
  field->setMaxChars(5);
  field->setUseableChars("1234567890");
  field->setText("0");
  field->selected.connect([&] { pressed += field->isEditing() ? "[" : "]"; });
  window.setFocus(a);
  step([&] {
    keys({eKey::green, eKey::blue, eKey::yellow, eKey::down});
    EXPECT_EQ(window.getFocus(), field);
    keys({eKey::down, eKey::left});  // wraps both ways
    EXPECT_EQ(a->getFocus(), field);  // children report the window's focus
    EXPECT_FALSE(field->typeText("12"));  // not editing
    keys({eKey::ok, eKey::n1, eKey::green});  // colour keys still reach their buttons
    EXPECT_TRUE(field->typeText("9x8\n7-6543"));  // replaces; refused: x, newline, -, and past five
    EXPECT_EQ(field->getText(), "98765");
    keys({eKey::backspace, eKey::down, eKey::ok, eKey::ok, eKey::exit});  // the focus stays while editing
    EXPECT_TRUE(window.isExecuting());  // exit ended the editing, not the window
    keys({eKey::n3});  // not editing: no typing
    window.close(0);
  });
  window.exec();
  EXPECT_EQ(field->getText(), "9876");
  EXPECT_EQ(window.getFocus(), field);
  delete field;  // a deleted focus is forgotten
  EXPECT_EQ(window.getFocus(), nullptr);
  a->selected.connect([&] { delete a; });  // a button may be deleted by its own signal's handler
  window.keyDown(eKey::green);
  EXPECT_EQ(pressed, "g[g][]g");
}

TEST_F(Widgets, ListsHandTheFocusOnAtTheirEndsAndCombosNeverKeepAStrangeEntry) {
  eWindow window;
  auto* list = new eListBox<eListBoxEntryText>(&window, nullptr, 1, 0, "eListBox");
  list->resize(eSize(200, 60));  // three rows of 20
  auto* combo = new eComboBox(&window, 5, nullptr, 1, "eComboBox");
  std::vector<int> chosen;
  int moved = 0;
  list->selchanged.connect([&](eListBoxEntryText*) { ++moved; });
  list->beginAtomic();
  list->selected.connect([&](eListBoxEntryText* e) { chosen.push_back(keyOf(e)); });
  combo->selchanged.connect([&](eListBoxEntryText* e) { chosen.push_back(100 + keyOf(e)); });
  for (int i = 0; i <= 5; ++i) new eListBoxEntryText(list, "Station", key(i), 0, eString(), 0);
  list->endAtomic();
  EXPECT_EQ(moved, 0);  // filling is quiet
  eListBoxEntryText* last = nullptr;
  for (int i = 1; i <= 4; ++i) combo->setCurrent(last = new eListBoxEntryText(combo, "Genre", key(i)), false);
  window.setFocus(list);
  step([&] {
    keys({eKey::up});  // at the top: the focus moves on
    EXPECT_EQ(window.getFocus(), combo);
    window.setFocus(list);
    keys({eKey::down, eKey::down, eKey::down, eKey::down, eKey::ok});
    EXPECT_EQ(list->getTopIndex(), 2);  // the highlight stays visible
    keys({eKey::down, eKey::down});  // at the bottom: the focus moves on
    EXPECT_EQ(window.getFocus(), combo);
    keys({eKey::ok, eKey::up, eKey::up, eKey::red, eKey::ok});  // opened on the current entry; red kept by it
    EXPECT_FALSE(combo->isOpen());
    keys({eKey::ok, eKey::down, eKey::exit});  // left without a choice: the window stays
    EXPECT_TRUE(window.isExecuting());
    EXPECT_EQ(keyOf(combo->getCurrent()), 2);
    delete list->entryAt(3);  // an entry deleted on its own
    list->clearList();
    window.setFocus(list);
    keys({eKey::ok});  // an empty list chooses nothing
    window.close(0);
  });
  window.exec();
  EXPECT_EQ(chosen, (std::vector<int>{4, 102, 99}));
  eListBoxEntryText stranger(static_cast<eListBox<eListBoxEntryText>*>(nullptr), "x", key(9));
  combo->setCurrent(&stranger, false);
  EXPECT_EQ(combo->getCurrent(), nullptr);
  combo->setCurrent(last, false);
  combo->getListBox()->clearList();
  EXPECT_EQ(combo->getCurrent(), nullptr);  // never a dangling entry
}

TEST_F(Widgets, ListEntriesKeepACopyOfTheirTextWhateverElseComesAndGoes) {
  eListBox<eListBoxEntryText> list(nullptr);
  auto textAt = [&](int i) { return std::string(static_cast<eListBoxEntryText*>(list.entryAt(i))->getText()); };
  std::vector<std::string> want;
  std::string text;
  for (int i = 0; i < 300; ++i) {
    // Empty, short and longer than a block; the caller's buffer is reused.
    text.assign(i % 7 == 0 ? 20000 : i % 50, static_cast<char>('a' + i % 26));
    new eListBoxEntryText(&list, text.c_str(), key(i));
    want.push_back(text);
  }
  new eListBoxEntryText(&list, nullptr, key(300));
  want.emplace_back();
  delete list.entryAt(5);
  want.erase(want.begin() + 5);
  for (int i = 0; i < list.getCount(); ++i) ASSERT_EQ(textAt(i), want[static_cast<std::size_t>(i)]) << i;
  while (list.getCount() > 0) delete list.entryAt(0);  // emptied one by one, then filled again
  new eListBoxEntryText(&list, "Again", key(1));
  EXPECT_EQ(textAt(0), "Again");
  text = "Alone";
  const eListBoxEntryText alone(static_cast<eListBox<eListBoxEntryText>*>(nullptr), text.c_str());
  text = "Other";
  EXPECT_STREQ(alone.getText(), "Alone");
}
