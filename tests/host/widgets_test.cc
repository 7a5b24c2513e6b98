// The widgets as the plug-in uses them: colour keys, focus, text fields,
// list boxes, combo boxes, the status bar and the widget tree.
#include <cstdint>

#include "tests/host/host_fixture.h"

namespace {
void* key(int n) { return reinterpret_cast<void*>(static_cast<std::intptr_t>(n)); }
int keyOf(eListBoxEntryText* e) {
  return e ? static_cast<int>(reinterpret_cast<std::intptr_t>(e->getKey())) : -1;
}
}  // namespace

using Widgets = HostTest;

TEST_F(Widgets, ColourKeysReachShownButtonsAndArrowsMoveTheFocusWithItsHelpText) {
  eWindow window;
  auto* a = new eButton(&window);
  a->setShortcut("green");
  a->setHelpText("Press to listen to the radio station.");
  new eLabel(&window);  // takes no focus
  auto* b = new eButton(&window);
  b->setShortcut("red");
  auto* hidden = new eButton(&window);
  hidden->setShortcut("blue");
  hidden->hide();
  auto* bar = new eStatusBar(&window);
  int greens = 0, reds = 0, blues = 0;
  a->selected.connect([&] { ++greens; });
  b->selected.connect([&] { ++reds; });
  hidden->selected.connect([&] { ++blues; });
  window.setFocus(a);
  EXPECT_EQ(bar->currentText(), "Press to listen to the radio station.");
  std::vector<eWidget*> seen;
  step([&] {
    for (eKey k : {eKey::green, eKey::red, eKey::green, eKey::blue, eKey::yellow}) eApp->keyPress(k);
    for (eKey k : {eKey::down, eKey::down, eKey::up, eKey::left}) {
      eApp->keyPress(k);
      seen.push_back(window.getFocus());
    }
    window.close(0);
  });
  window.exec();
  EXPECT_EQ(greens, 2);
  EXPECT_EQ(reds, 1);
  EXPECT_EQ(blues, 0);  // its button is hidden
  EXPECT_EQ(seen, (std::vector<eWidget*>{b, a, b, a}));  // wraps both ways
  EXPECT_EQ(a->getFocus(), a);  // children report the window's focus
  EXPECT_EQ(bar->currentText(), "Press to listen to the radio station.");
}

TEST_F(Widgets, TextFieldEditsBetweenTwoOksWithinItsLimits) {
  eWindow window;
  auto* field = new eTextInputField(&window);
  auto* green = new eButton(&window);
  green->setShortcut("green");
  int greens = 0;
  green->selected.connect([&] { ++greens; });
  field->setMaxChars(5);
  field->setUseableChars("1234567890");
  field->setText("0");
  std::vector<std::string> activations;
  field->selected.connect([&] {
    activations.push_back(std::string(field->isEditing() ? "start:" : "end:") + field->getText());
  });
  window.setFocus(field);
  EXPECT_FALSE(field->typeText("12"));  // not editing
  step([&] {
    eApp->keyPress(eKey::ok);
    eApp->keyPress(eKey::n1);
    eApp->keyPress(eKey::green);  // colour keys still reach their buttons
    EXPECT_EQ(field->getText(), "01");
    EXPECT_TRUE(field->typeText("9x8\n7-6543"));  // refused: x, newline, -, and past five
    EXPECT_EQ(field->getText(), "98765");
    eApp->keyPress(eKey::backspace);
    eApp->keyPress(eKey::down);  // the focus stays while editing
    eApp->keyPress(eKey::ok);
    eApp->keyPress(eKey::ok);
    eApp->keyPress(eKey::exit);  // ends the editing, not the window
    EXPECT_TRUE(window.isExecuting());
    eApp->keyPress(eKey::n3);  // not editing: no typing
    window.close(0);
  });
  window.exec();
  EXPECT_EQ(activations, (std::vector<std::string>{"start:0", "end:9876", "start:9876", "end:9876"}));
  EXPECT_EQ(greens, 1);
  EXPECT_EQ(window.getFocus(), field);
}

TEST_F(Widgets, ListBoxSignalsHighlightAndChoiceAndHandsTheFocusOnAtItsEnds) {
  eWindow window;
  auto* list = new eListBox<eListBoxEntryText>(&window, nullptr, 1, 0, "eListBox");
  list->resize(eSize(200, 60));  // three rows of 20
  auto* other = new eButton(&window);
  std::vector<int> chosen, moved;
  list->selected.connect([&](eListBoxEntryText* e) { chosen.push_back(keyOf(e)); });
  list->selchanged.connect([&](eListBoxEntryText* e) { moved.push_back(keyOf(e)); });
  list->beginAtomic();
  for (int i = 0; i <= 5; ++i) new eListBoxEntryText(list, "Station", key(i), 0, eString(), 0);
  list->endAtomic();
  EXPECT_EQ(list->getCurrentIndex(), 0);
  EXPECT_TRUE(moved.empty());  // filling is quiet

  window.setFocus(list);
  step([&] {
    eApp->keyPress(eKey::up);  // at the top: the focus moves on
    EXPECT_EQ(window.getFocus(), other);
    window.setFocus(list);
    eApp->keyPress(eKey::ok);
    for (int i = 0; i < 4; ++i) eApp->keyPress(eKey::down);
    EXPECT_EQ(list->getTopIndex(), 2);  // the highlight stays visible
    eApp->keyPress(eKey::ok);
    eApp->keyPress(eKey::down);
    eApp->keyPress(eKey::down);  // at the bottom: the focus moves on
    EXPECT_EQ(window.getFocus(), other);
    window.close(0);
  });
  window.exec();
  EXPECT_EQ(chosen, (std::vector<int>{0, 4}));
  EXPECT_EQ(moved, (std::vector<int>{1, 2, 3, 4, 5}));

  // Silent and signalled highlight, an entry deleted on its own, and an
  // empty list that chooses nothing.
  moved.clear();
  auto* third = static_cast<eListBoxEntryText*>(list->entryAt(3));
  list->setCurrent(third, false);
  list->setCurrentIndex(1, true);
  EXPECT_EQ(moved, (std::vector<int>{1}));
  delete third;
  EXPECT_EQ(list->getCount(), 5);
  list->clearList();
  EXPECT_EQ(list->getCurrent(), nullptr);
  step([&] {
    window.setFocus(list);
    eApp->keyPress(eKey::ok);
    window.close(0);
  });
  window.exec();
  EXPECT_EQ(chosen.size(), 2u);
}

TEST_F(Widgets, ComboBoxChoosesSignalsNullWhenLeftAndNeverKeepsAStrangeEntry) {
  eWindow window;
  auto* combo = new eComboBox(&window, 5, nullptr, 1, "eComboBox");
  std::vector<int> signalled;
  combo->selchanged.connect([&](eListBoxEntryText* e) { signalled.push_back(keyOf(e)); });
  eListBoxEntryText* last = nullptr;
  for (int i = 1; i <= 4; ++i) {
    last = new eListBoxEntryText(combo, ("Genre " + std::to_string(i)).c_str(), key(i));
    combo->setCurrent(last, false);
  }
  EXPECT_EQ(combo->getText(), "Genre 4");
  window.setFocus(combo);
  step([&] {
    eApp->keyPress(eKey::ok);  // open, on the current entry
    eApp->keyPress(eKey::up);
    eApp->keyPress(eKey::up);
    eApp->keyPress(eKey::red);  // kept by the open list
    eApp->keyPress(eKey::ok);
    EXPECT_FALSE(combo->isOpen());
    EXPECT_EQ(combo->getText(), "Genre 2");
    eApp->keyPress(eKey::ok);
    eApp->keyPress(eKey::down);
    eApp->keyPress(eKey::exit);  // left without a choice: the window stays
    EXPECT_TRUE(window.isExecuting());
    EXPECT_EQ(keyOf(combo->getCurrent()), 2);
    window.close(0);
  });
  window.exec();
  EXPECT_EQ(signalled, (std::vector<int>{2, -1}));
  eListBoxEntryText stranger(static_cast<eListBox<eListBoxEntryText>*>(nullptr), "x", key(9));
  combo->setCurrent(&stranger, false);
  EXPECT_EQ(combo->getCurrent(), nullptr);
  combo->setCurrent(last, false);
  combo->getListBox()->clearList();
  EXPECT_EQ(combo->getCurrent(), nullptr);  // never a dangling entry
}

TEST_F(Widgets, WindowDeletesItsChildrenAndForgetsDeletedFocus) {
  struct Tracked : eButton {
    Tracked(eWidget* parent, int& gone) : eButton(parent), gone_(gone) {}
    ~Tracked() override { ++gone_; }
    int& gone_;
  };
  int gone = 0;
  auto* window = new eWindow(1);
  new Tracked(new eLabel(window), gone);
  auto* focused = new Tracked(window, gone);
  window->setFocus(focused);
  window->show();
  delete focused;
  EXPECT_EQ(window->getFocus(), nullptr);
  // A button may be deleted by the handler of its own signal.
  auto* once = new Tracked(window, gone);
  once->setShortcut("red");
  once->selected.connect([&] { delete once; });
  window->keyDown(eKey::red);
  EXPECT_EQ(gone, 2);
  delete window;
  EXPECT_EQ(gone, 3);
  for (eWidget* w : eApp->windows()) EXPECT_NE(w, window);
}
