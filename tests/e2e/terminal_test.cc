// The terminal front end where the journey in tmux does not reach: small and
// tall terminals, odd text, the keys it never presses, typing into a field.
#include <curses.h>
#include <locale.h>

#include <deque>

#include <gtest/gtest.h>

#include "host/host.h"
#include "tools/oruvel-host/terminal_frontend.h"
#include "tools/oruvel-host/terminal_keys.h"
#include "tools/oruvel-host/terminal_layout.h"

using namespace oruvel_host;

TEST(TerminalLayout, SmallestTerminalKeepsRowsAndButtonsApartAndATallOneHasTheLcdBelow) {
  const TerminalLayout l(80, 24);
  ASSERT_TRUE(!l.tooSmall() && l.lcdPlace() == TerminalLayout::LcdPlace::None);
  // Title bar, then (client y) genre row, list status, list, station info, play, rip, status bar.
  int previous = l.cells(70, 30, 560, 30).y;
  for (int y : {10, 50, 80, 310, 350, 390, 430}) {
    EXPECT_LT(previous, l.cells(0, 60 + y, 10, 30).y) << y;
    previous = l.cells(0, 60 + y, 10, 30).y;
  }
  // Play, M, the play status and the save button side by side.
  const CellRect row[] = {l.cells(80, 410, 100, 30), l.cells(185, 410, 10, 30), l.cells(200, 410, 350, 30),
                          l.cells(590, 410, 30, 30)};
  for (int i = 1; i < 4; ++i) EXPECT_LE(row[i - 1].right(), row[i].x) << i;
  EXPECT_GE(row[1].width, 1);
  EXPECT_GE(l.cells(80, 140, 540, 230).height, 8);  // the list shows several stations

  const TerminalLayout tall(100, 44);
  EXPECT_EQ(tall.lcdPlace(), TerminalLayout::LcdPlace::Below);
  EXPECT_LE(tall.screen().bottom(), tall.lcdBox().y);
  EXPECT_LE(tall.lcdBox().bottom(), tall.playerRow());
  const CellRect edge = tall.cells(715, 570, 100, 100);  // at and past the screen's edge
  EXPECT_TRUE(edge.right() <= tall.screen().right() && edge.bottom() <= tall.screen().bottom() && edge.width >= 1);
  const std::string tooSmall = TerminalLayout(79, 24).tooSmallMessage();
  EXPECT_TRUE(tooSmall.find("at least 80 x 24") != std::string::npos && tooSmall.find("79 x 24") != std::string::npos);
  EXPECT_TRUE(TerminalLayout(80, 23).tooSmall() && TerminalLayout(0, 0).tooSmall());
}

TEST(TerminalText, FitsByDisplayCellsAndShowsBrokenBytesSafely) {
  setlocale(LC_CTYPE, "C.UTF-8");
  // Text that is no UTF-8 (a Latin-1 title, a name cut inside a character)
  // reads as Windows-1252; control characters become '?', a tab a space.
  const struct { std::string in; int cells; std::string out; } fitted[] = {
      {"R\xc3\xb6" "ck B\xc3\xa4r", 3, "R\xc3\xb6" "c"}, {"lumoripper is not running.\n", 99, "lumoripper is not running."},
      {"Caf\xe9 \x80" "5 \x81", 10, "Caf\xc3\xa9 \xe2\x82\xac" "5 \xef\xbf\xbd"}, {"Caf\xc3", 9, "Caf\xc3\x83"},
      {"a\x01" "b\tc\xff", 9, "a?b c\xc3\xbf"}, {"\xc2\x85x", 9, "??x"},
      {"\xe6\x97\xa5\xe6\x9c\xac", 3, "\xe6\x97\xa5"}};  // a wide character takes two cells, never split
  for (const auto& f : fitted) EXPECT_EQ(fitText(f.in, f.cells), f.out) << f.in;
  EXPECT_EQ(fitText("R\xc3\xb6", 5, false), "R??");  // without UTF-8
  EXPECT_EQ(wrapLines("Zo\xeb M\xfcller \xe0 No\xebl", 8),
            (std::vector<std::string>{"Zo\xc3\xab M\xc3\xbcll", "er \xc3\xa0 No\xc3\xab", "l"}));
  EXPECT_EQ(wrapLines("lumoripper will be stopped.\nplease wait.", 40),
            (std::vector<std::string>{"lumoripper will be stopped.", "please wait."}));
  EXPECT_EQ(wrapLines("one two three four five six", 10),
            (std::vector<std::string>{"one two ", "three four", " five six"}));

  LcdFrame frame{};  // without UTF-8 the panel is drawn in ASCII
  frame[0] = 0x01, frame[7 * 120 + 119] = 0x80;  // (0, 0) and (119, 63)
  const auto ascii = lcdBraille(frame, false);
  ASSERT_EQ(ascii.size(), 16u);
  EXPECT_EQ(ascii[0].substr(0, 2) + ascii[15][59], "# #");
}

TEST(TerminalKeys, RemoteKeysLettersAndTyping) {
  using K = KeyAction::Kind;
  const struct { int ch; bool editing; K kind; eKey key; } keys[] = {
      {KEY_RIGHT, true, K::Key, eKey::right}, {'\n', true, K::Key, eKey::ok}, {KEY_ENTER, false, K::Key, eKey::ok},
      {27, true, K::Key, eKey::exit}, {'7', false, K::Key, eKey::n7}, {'0', false, K::Key, eKey::n0},
      {'G', false, K::Key, eKey::green}, {'b', false, K::Key, eKey::blue}, {KEY_F(1), true, K::Key, eKey::red},
      {KEY_F(2), false, K::Key, eKey::green}, {KEY_F(3), true, K::Key, eKey::yellow}, {KEY_F(4), false, K::Key, eKey::blue},
      {KEY_BACKSPACE, true, K::Key, eKey::backspace}, {127, true, K::Key, eKey::backspace}, {'m', false, K::None, {}},
      {'x', false, K::None, {}}, {KEY_F(5), false, K::None, {}}, {KEY_RESIZE, false, K::Resize, {}}, {3, true, K::Leave, {}},
      {1, true, K::None, {}}, {0xc3, true, K::Type, {}}};  // control bytes are not typed, UTF-8 bytes are
  for (const auto& k : keys) {
    const KeyAction a = mapKey(k.ch, k.editing);
    EXPECT_TRUE(a.kind == k.kind && (k.kind != K::Key || a.key == k.key) &&
                (k.kind != K::Type || static_cast<unsigned char>(a.typed) == k.ch)) << k.ch << " editing " << k.editing;
  }
}

namespace {

// Plays keys from the terminal as the terminal front end hands them on; Esc when none are left.
struct KeyFeeder : eFrontend {
  std::deque<int> keys;
  void poll() override {
    if (keys.empty()) return eApp->keyPress(eKey::exit);
    const int ch = keys.front();
    keys.pop_front();
    applyKeyAction(mapKey(ch, editingField() != nullptr));
  }
};

}  // namespace

TEST(TerminalAnswers, LettersAreTypedBetweenTwoOksAndReachColourKeysOtherwise) {
  eVirtualClock clock;
  KeyFeeder feeder;
  eApp->setClock(&clock);
  eApp->setFrontend(&feeder);
  eWindow window(1);
  auto* genre = new eTextInputField(&window);
  genre->setText("Metal");
  auto* rip = new eButton(&window);
  rip->setShortcut("red");
  int ripPresses = 0;
  rip->selected.connect([&] { ++ripPresses; });
  window.setFocus(genre);
  feeder.keys = {'r', '\r', KEY_BACKSPACE, 'r', 'o', 'c', 'k', ' ', 'M', '5', '\r', 'r', 27};  // red, typed, red
  window.show();
  window.exec();
  eApp->setFrontend(nullptr);
  eApp->setClock(nullptr);
  EXPECT_EQ(ripPresses, 2);
  EXPECT_EQ(genre->getText(), "Metarock M5");
  EXPECT_FALSE(genre->isEditing());
}
