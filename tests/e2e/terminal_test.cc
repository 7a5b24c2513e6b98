// The terminal front end's own logic: the screen scaled onto the terminal,
// keys turned into remote keys and typing, and message boxes answered the
// way a person at the terminal answers them.
#include <curses.h>
#include <locale.h>

#include <deque>

#include <gtest/gtest.h>

#include "host/host.h"
#include "tools/oruvel-host/terminal_frontend.h"
#include "tools/oruvel-host/terminal_keys.h"
#include "tools/oruvel-host/terminal_layout.h"

using namespace oruvel_host;

namespace {

// The main window's client area starts at (70, 60); rows of its widgets.
int rowOf(const TerminalLayout& l, int clientY) { return l.cells(0, 60 + clientY, 10, 30).y; }

bool overlaps(const CellRect& a, const CellRect& b) {
  return a.x < b.right() && b.x < a.right() && a.y < b.bottom() && b.y < a.bottom();
}

}  // namespace

TEST(TerminalLayout, SmallestTerminalKeepsTheMainWindowsRowsAndButtonsApart) {
  const TerminalLayout l(80, 24);
  ASSERT_FALSE(l.tooSmall());
  EXPECT_EQ(l.lcdPlace(), TerminalLayout::LcdPlace::None);
  EXPECT_EQ(l.screen().height, 22);
  // Title bar, genre row, list status, list, station info, play, rip, status bar.
  const int title = l.cells(70, 30, 560, 30).y;
  const int rows[] = {rowOf(l, 10), rowOf(l, 50), rowOf(l, 80), rowOf(l, 310),
                      rowOf(l, 350), rowOf(l, 390), rowOf(l, 430)};
  EXPECT_LT(title, rows[0]);
  for (size_t i = 1; i < sizeof rows / sizeof rows[0]; ++i) EXPECT_LT(rows[i - 1], rows[i]) << i;
  // Play, M, the play status and the save button sit side by side.
  const CellRect play = l.cells(80, 410, 100, 30), mini = l.cells(185, 410, 10, 30),
                 status = l.cells(200, 410, 350, 30), save = l.cells(590, 410, 30, 30);
  EXPECT_FALSE(overlaps(play, mini));
  EXPECT_FALSE(overlaps(mini, status));
  EXPECT_FALSE(overlaps(status, save));
  EXPECT_GE(mini.width, 1);
  // The list box has room for several stations.
  EXPECT_GE(l.cells(80, 140, 540, 230).height, 8);
}

TEST(TerminalLayout, LcdGoesBelowOnATallTerminalAndATooSmallOneIsToldSo) {
  // Beside, on a wide terminal, the journey in tmux reads it pixel by pixel.
  const TerminalLayout tall(100, 44);
  EXPECT_EQ(tall.lcdPlace(), TerminalLayout::LcdPlace::Below);
  EXPECT_LE(tall.screen().bottom(), tall.lcdBox().y);
  EXPECT_LE(tall.lcdBox().bottom(), tall.playerRow());
  EXPECT_GE(tall.screen().height, TerminalLayout::kMinScreenRows);
  for (auto [c, r] : {std::pair{79, 24}, std::pair{80, 23}, std::pair{0, 0}}) {
    const TerminalLayout small(c, r);
    EXPECT_TRUE(small.tooSmall());
    EXPECT_NE(small.tooSmallMessage().find("80 x 24"), std::string::npos);
    EXPECT_NE(small.tooSmallMessage().find(std::to_string(c) + " x " + std::to_string(r)), std::string::npos);
  }
  // Widgets at and past the screen's edge stay on the screen.
  const CellRect edge = tall.cells(715, 570, 100, 100);
  EXPECT_LE(edge.right(), tall.screen().right());
  EXPECT_LE(edge.bottom(), tall.screen().bottom());
  EXPECT_GE(edge.width, 1);
}

TEST(TerminalText, FitsByDisplayCellsAndShowsBrokenBytesSafely) {
  setlocale(LC_CTYPE, "C.UTF-8");
  EXPECT_EQ(fitText("R\xc3\xb6" "ck B\xc3\xa4r", 3), "R\xc3\xb6" "c");
  EXPECT_EQ(textCells("R\xc3\xb6" "ck B\xc3\xa4r"), 8);
  EXPECT_EQ(fitText("lumoripper is not running.\n", 100), "lumoripper is not running.");
  // Text that is no UTF-8 (a Latin-1 title, a name cut inside a character)
  // reads as Windows-1252; control characters and a tab.
  EXPECT_EQ(fitText("Caf\xe9 \x80" "5 \x81", 10), "Caf\xc3\xa9 \xe2\x82\xac" "5 \xef\xbf\xbd");
  EXPECT_EQ(fitText("Caf\xc3", 10), "Caf\xc3\x83");
  EXPECT_EQ(fitText("a\x01" "b\tc\xff", 10), "a?b c\xc3\xbf");
  EXPECT_EQ(fitText("\xc2\x85x", 10), "??x");  // a C1 control, byte for byte
  std::string joined;
  for (const auto& l : wrapLines("Zo\xeb M\xfcller \xe0 No\xebl", 8)) {
    EXPECT_LE(textCells(l), 8) << l;
    joined += l;
  }
  EXPECT_EQ(joined, "Zo\xc3\xab M\xc3\xbcller \xc3\xa0 No\xc3\xabl");
  // Wide characters take two cells and are not split.
  EXPECT_EQ(fitText("\xe6\x97\xa5\xe6\x9c\xac", 3), "\xe6\x97\xa5");
  // Without UTF-8 every byte above ASCII is shown as '?'.
  EXPECT_EQ(fitText("R\xc3\xb6", 5, false), "R??");

  const auto lines = wrapLines("lumoripper will be stopped.\nplease wait.", 40);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1], "please wait.");
  const auto wrapped = wrapLines("one two three four five six", 10);
  ASSERT_GE(wrapped.size(), 3u);
  for (const auto& l : wrapped) EXPECT_LE(textCells(l), 10);
  EXPECT_EQ(wrapped[0], "one two ");
}

TEST(TerminalLcd, WithoutUtf8ThePanelIsDrawnInAscii) {
  // The braille cells are read back pixel by pixel in the journey in tmux.
  LcdFrame frame{};
  frame[0] = 0x01;              // (0, 0)
  frame[7 * 120 + 119] = 0x80;  // (119, 63)
  const auto ascii = lcdBraille(frame, false);
  ASSERT_EQ(ascii.size(), 16u);
  EXPECT_EQ(ascii[0].substr(0, 2), "# ");
  EXPECT_EQ(ascii[15][59], '#');
}

TEST(TerminalKeys, RemoteKeysLettersAndTyping) {
  // (character, editing) -> key; the same key while editing unless marked.
  const struct { int ch; bool editing; eKey key; } keys[] = {
      {KEY_UP, false, eKey::up},      {KEY_RIGHT, true, eKey::right},  {'\r', false, eKey::ok},
      {'\n', true, eKey::ok},         {KEY_ENTER, false, eKey::ok},    {27, false, eKey::exit},
      {27, true, eKey::exit},         {'7', false, eKey::n7},          {'0', false, eKey::n0},
      {'r', false, eKey::red},        {'G', false, eKey::green},       {'y', false, eKey::yellow},
      {'b', false, eKey::blue},       {KEY_F(1), true, eKey::red},     {KEY_F(2), false, eKey::green},
      {KEY_F(3), true, eKey::yellow}, {KEY_F(4), false, eKey::blue},   {KEY_BACKSPACE, true, eKey::backspace},
      {127, true, eKey::backspace}};
  for (const auto& k : keys) {
    const KeyAction a = mapKey(k.ch, k.editing);
    EXPECT_TRUE(a.kind == KeyAction::Kind::Key && a.key == k.key) << k.ch << " editing " << k.editing;
  }
  EXPECT_EQ(mapKey('m', false).kind, KeyAction::Kind::None);  // "M" has no shortcut
  EXPECT_EQ(mapKey('x', false).kind, KeyAction::Kind::None);
  EXPECT_EQ(mapKey(KEY_F(5), false).kind, KeyAction::Kind::None);
  EXPECT_EQ(mapKey(KEY_RESIZE, false).kind, KeyAction::Kind::Resize);
  EXPECT_EQ(mapKey(3, true).kind, KeyAction::Kind::Leave);
  // While editing, letters and digits are typed, control bytes are not.
  for (int ch : {int('r'), int('g'), int('M'), int('5'), int(' '), 0xc3}) {
    const KeyAction a = mapKey(ch, true);
    EXPECT_EQ(a.kind, KeyAction::Kind::Type) << ch;
    EXPECT_EQ(static_cast<unsigned char>(a.typed), ch);
  }
  EXPECT_EQ(mapKey(1, true).kind, KeyAction::Kind::None);
}

namespace {

// Plays keys from the terminal as the terminal front end hands them on.
class KeyFeeder : public eFrontend {
 public:
  std::deque<int> keys;
  void poll() override {
    if (keys.empty()) {
      eApp->keyPress(eKey::exit);  // nothing left to press: leave
      return;
    }
    const int ch = keys.front();
    keys.pop_front();
    applyKeyAction(mapKey(ch, editingField() != nullptr));
  }
};

class TerminalAnswers : public ::testing::Test {
 protected:
  void SetUp() override {
    eApp->setClock(&clock_);
    eApp->setFrontend(&feeder_);
  }
  void TearDown() override {
    eApp->setFrontend(nullptr);
    eApp->setClock(nullptr);
  }
  int answer(int flags, std::deque<int> keys) {
    feeder_.keys = std::move(keys);
    eMessageBox box("Radio Kestrel Rock", "Oruvel - save radio station", flags, 1, 0);
    box.show();
    const int result = box.exec();
    box.hide();
    return result;
  }
  eVirtualClock clock_;
  KeyFeeder feeder_;
};

}  // namespace

TEST_F(TerminalAnswers, QuestionAndOkCancelBoxes) {
  EXPECT_EQ(answer(0x2c, {'\r'}), eMessageBox::btYes);
  EXPECT_EQ(answer(0x2c, {27}), eMessageBox::btNo);
  EXPECT_EQ(answer(0x2c, {KEY_RIGHT, '\r'}), eMessageBox::btNo);
  EXPECT_EQ(answer(0x2c, {KEY_RIGHT, KEY_LEFT, '\n'}), eMessageBox::btYes);
  // Letters and colour keys do not answer a box.
  EXPECT_EQ(answer(0x2c, {'r', 'g', KEY_F(3), '5', '\r'}), eMessageBox::btYes);
  EXPECT_EQ(answer(0x23, {27}), eMessageBox::btCancel);
  EXPECT_EQ(answer(0x23, {'\r'}), eMessageBox::btOK);
  EXPECT_EQ(answer(0x21, {27}), eMessageBox::btOK);
}

TEST_F(TerminalAnswers, TextFieldEditsBetweenTwoOksAndLettersReachColourKeysOtherwise) {
  eWindow window(1);
  window.cmove(ePoint(70, 60));
  window.cresize(eSize(560, 460));
  auto* genre = new eTextInputField(&window);
  genre->setMaxChars(10);
  genre->setText("Metal");
  auto* bitrate = new eTextInputField(&window);
  bitrate->setMaxChars(5);
  bitrate->setUseableChars("1234567890");
  bitrate->setText("0");
  auto* rip = new eButton(&window);
  rip->setShortcut("red");
  int genreSignals = 0, ripPresses = 0;
  genre->selected.connect([&] { ++genreSignals; });
  rip->selected.connect([&] { ++ripPresses; });
  window.setFocus(genre);

  feeder_.keys = {'r',                                  // red, not typed
                  '\r', KEY_BACKSPACE, 'l', 'i', 'c', 'r', 'o', 'c', 'k', 's', '!', '\r',
                  'r',                                  // red again
                  KEY_DOWN, '\r', 'a', '1', '2', '8', '0', '0', '\r', 27};
  window.show();
  window.exec();
  window.hide();
  EXPECT_EQ(ripPresses, 2);
  EXPECT_EQ(genreSignals, 2);  // editing started, editing ended
  EXPECT_EQ(genre->getText(), "Metalicroc");  // ten characters at most
  EXPECT_FALSE(genre->isEditing());
  EXPECT_EQ(bitrate->getText(), "01280");  // letters refused, five at most
}
