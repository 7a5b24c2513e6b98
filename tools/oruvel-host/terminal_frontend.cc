#include "tools/oruvel-host/terminal_frontend.h"

#include <langinfo.h>
#include <locale.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "host/host.h"
#include "host/lcd_panel.h"
#include "tools/icy/title_text.h"
#include "tools/icy/icy_reconnect.h"
#include "tools/oruvel-host/stream_player.h"
#include "tools/oruvel-host/widget_visitor.h"

// Last, and without its one-letter macros (move, timeout, ...), which
// would clash with the host's member names.
#define NCURSES_NOMACROS
#include <curses.h>

namespace oruvel_host {
namespace {

constexpr int kMaxLeaveKeys = 100;
constexpr int kIdlePollMs = 200;  // LCD and player line refresh at least this often

enum Pair : short {
  kScreen = 1, kWindow, kTitle, kButton, kFocus, kField, kRed, kGreen, kYellow, kBlue,
  kStatusBar, kDialog, kLcd, kFoot, kHint,
};

bool g_colour = false;

attr_t pairAttr(Pair pair, attr_t mono = A_NORMAL) {
  return g_colour ? static_cast<attr_t>(COLOR_PAIR(pair)) : mono;
}

// Writes text at (y, x), cut at the right edge `limit` (exclusive) and at
// the terminal's edge.
void put(int y, int x, const std::string& text, attr_t attr, int limit, bool unicode) {
  const int cols = getmaxx(stdscr), rows = getmaxy(stdscr);
  if (y < 0 || y >= rows || x >= cols) return;
  limit = std::min(limit, cols);
  if (x < 0 || limit <= x) return;
  std::string shown = fitText(text, limit - x, unicode);
  attrset(static_cast<int>(attr));
  mvaddstr(y, x, shown.c_str());
  attrset(A_NORMAL);
}

void fillCells(const CellRect& r, attr_t attr) {
  const int cols = getmaxx(stdscr), rows = getmaxy(stdscr);
  attrset(static_cast<int>(attr));
  for (int y = std::max(0, r.y); y < std::min(rows, r.bottom()); ++y)
    for (int x = std::max(0, r.x); x < std::min(cols, r.right()); ++x) mvaddch(y, x, ' ');
  attrset(A_NORMAL);
}

void drawBorder(const CellRect& r, attr_t attr) {
  if (r.width < 2 || r.height < 2) return;
  attrset(static_cast<int>(attr));
  mvaddch(r.y, r.x, ACS_ULCORNER);
  mvaddch(r.y, r.right() - 1, ACS_URCORNER);
  mvaddch(r.bottom() - 1, r.x, ACS_LLCORNER);
  mvaddch(r.bottom() - 1, r.right() - 1, ACS_LRCORNER);
  for (int x = r.x + 1; x < r.right() - 1; ++x) {
    mvaddch(r.y, x, ACS_HLINE);
    mvaddch(r.bottom() - 1, x, ACS_HLINE);
  }
  for (int y = r.y + 1; y < r.bottom() - 1; ++y) {
    mvaddch(y, r.x, ACS_VLINE);
    mvaddch(y, r.right() - 1, ACS_VLINE);
  }
  attrset(A_NORMAL);
}

Pair markPair(const eString& colour) {
  if (colour == "red") return kRed;
  if (colour == "green") return kGreen;
  if (colour == "yellow") return kYellow;
  return kBlue;
}

void drawDialog(const TerminalLayout& layout, eMessageBox& box, bool active, bool unicode);

// Paints one shown window: a message box as a dialog, any other window
// with its widgets at their scaled places, and an open combo box's list
// last, over everything else in the window.
class WindowPainter : public WidgetVisitor {
 public:
  WindowPainter(const TerminalLayout& layout, bool active, bool unicode)
      : layout_(layout), active_(active), unicode_(unicode) {}

  void messageBox(eMessageBox& box) override { drawDialog(layout_, box, active_, unicode_); }

  void window(eWindow& w) override {
    const CellRect outer = layout_.cells(w.getPosition().x, w.getPosition().y, w.getSize().width,
                                         w.getSize().height);
    focus_ = w.getFocus();
    fillCells(outer, pairAttr(kWindow));
    CellRect title = outer;
    title.height = 1;
    fillCells(title, pairAttr(kTitle, A_REVERSE));
    put(title.y, title.x, " " + w.getText(), pairAttr(kTitle, A_REVERSE) | A_BOLD, title.right(),
        unicode_);
    for (eWidget* child : w.getChildren())
      widget(*child, w.getClientPosition().x, w.getClientPosition().y);
    if (openCombo_) comboList(*openCombo_, comboRect_);
  }

 private:
  bool focused(const eWidget& w) const { return active_ && focus_ == &w; }

  void widget(eWidget& w, int originX, int originY) {
    if (!w.isShownItself()) return;
    const int x = originX + w.getPosition().x, y = originY + w.getPosition().y;
    r_ = layout_.cells(x, y, w.getSize().width, w.getSize().height);
    visitWidget(w, *this);
    for (eWidget* child : w.getChildren()) widget(*child, x, y);
  }

  void label(eLabel& l) override {
    std::vector<std::string> lines = wrapLines(l.getText(), 100000);
    for (int i = 0; i < r_.height && i < static_cast<int>(lines.size()); ++i)
      put(r_.y + i, r_.x, lines[static_cast<size_t>(i)], pairAttr(kWindow), r_.right(), unicode_);
  }

  // A colour-key mark and the text, centred; the mark keeps its colour.
  void button(eButton& b) override {
    const CellRect& r = r_;
    const attr_t attr = focused(b) ? pairAttr(kFocus, A_REVERSE) | A_BOLD : pairAttr(kButton, A_BOLD);
    fillCells(r, attr);
    const eString& colour = b.getShortcutPixmap().empty() ? b.getShortcut() : b.getShortcutPixmap();
    std::string mark;
    if (!colour.empty()) mark = unicode_ ? "\u25cf" : std::string(1, static_cast<char>(std::toupper(colour[0])));
    const std::string& text = b.getText();
    const int cells = (mark.empty() ? 0 : 1) + (mark.empty() || text.empty() ? 0 : 1) + textCells(text, unicode_);
    int x = r.x + std::max(0, (r.width - cells) / 2);
    if (!mark.empty()) {
      put(r.y, x, mark, pairAttr(markPair(colour), A_BOLD) | A_BOLD, r.right(), unicode_);
      x += text.empty() ? 1 : 2;
    }
    put(r.y, x, text, attr, r.right(), unicode_);
  }

  void comboBox(eComboBox& c) override {
    const CellRect& r = r_;
    const attr_t attr = focused(c) ? pairAttr(kFocus, A_REVERSE) | A_BOLD : pairAttr(kField, A_UNDERLINE);
    fillCells(r, attr);
    put(r.y, r.x + 1, c.getText(), attr, r.right() - 2, unicode_);
    put(r.y, r.right() - 1, unicode_ ? "\u25be" : "v", attr, r.right(), unicode_);
    if (c.isOpen()) {
      openCombo_ = &c;
      comboRect_ = r;
    }
  }

  void comboList(eComboBox& c, const CellRect& at) {
    eListBoxBase& list = *c.getListBox();
    CellRect r{at.x, at.bottom(), at.width, std::min(c.getOpenEntries(), std::max(1, list.getCount()))};
    r.height = std::min(r.height, layout_.screen().bottom() - r.y);
    if (r.height < 1) r = {at.x, at.y + 1, at.width, 1};
    fillCells(r, pairAttr(kField, A_REVERSE));
    entries(list, r, true, pairAttr(kField, A_REVERSE));
  }

  void textField(eTextInputField& f) override {
    const CellRect& r = r_;
    attr_t attr = focused(f) ? pairAttr(kFocus, A_REVERSE) : pairAttr(kField, A_UNDERLINE);
    if (f.isEditing()) attr = pairAttr(kField, A_UNDERLINE) | A_BOLD;
    fillCells(r, attr);
    std::string text = f.getText();
    if (f.isEditing()) {
      // The end of the text and the cursor stay in view while typing.
      const std::string cursor = "_";
      std::string shown = text;
      while (!shown.empty() && textCells(shown, unicode_) + 1 > r.width) shown.erase(0, 1);
      put(r.y, r.x, shown, attr, r.right(), unicode_);
      put(r.y, r.x + textCells(shown, unicode_), cursor, attr | A_BLINK, r.right(), unicode_);
    } else if (text.empty() && !f.editHelpText.empty()) {
      put(r.y, r.x, f.editHelpText, attr | A_DIM, r.right(), unicode_);
    } else {
      put(r.y, r.x, text, attr, r.right(), unicode_);
    }
  }

  void listBox(eListBoxBase& list) override {
    entries(list, r_, focused(list), pairAttr(kWindow));
  }

  // Rows of a list, scrolled so that the highlight is in view.
  void entries(eListBoxBase& list, const CellRect& r, bool focus, attr_t attr) {
    const int count = list.getCount();
    const int current = list.getCurrentIndex();
    int top = std::clamp(list.getTopIndex(), 0, std::max(0, count - 1));
    if (current >= 0) {
      if (current < top) top = current;
      if (current >= top + r.height) top = current - r.height + 1;
    }
    for (int row = 0; row < r.height && top + row < count; ++row) {
      const int index = top + row;
      auto* entry = static_cast<eListBoxEntryText*>(list.entryAt(index));
      attr_t a = attr;
      if (index == current) a = focus ? pairAttr(kFocus, A_REVERSE) | A_BOLD : attr | A_BOLD | A_UNDERLINE;
      CellRect line{r.x, r.y + row, r.width, 1};
      if (index == current) fillCells(line, a);
      put(line.y, line.x + 1, entry ? std::string(entry->getText()) : std::string(), a, r.right() - 1, unicode_);
    }
    if (top > 0) put(r.y, r.right() - 1, unicode_ ? "\u2191" : "^", attr | A_BOLD, r.right(), unicode_);
    if (top + r.height < count)
      put(r.bottom() - 1, r.right() - 1, unicode_ ? "\u2193" : "v", attr | A_BOLD, r.right(), unicode_);
  }

  void statusBar(eStatusBar& bar) override {
    const CellRect& r = r_;
    fillCells(r, pairAttr(kStatusBar, A_REVERSE));
    std::string text = bar.currentText();
    // A field being edited shows how to fill it in.
    if (auto* field = dynamic_cast<eTextInputField*>(bar.getFocus()))
      if (field->isEditing() && !field->editHelpText.empty()) text = field->editHelpText;
    put(r.y, r.x + 1, text, pairAttr(kStatusBar, A_REVERSE), r.right(), unicode_);
  }

  const TerminalLayout& layout_;
  bool active_, unicode_;
  CellRect r_;  // the cells of the widget being painted
  eWidget* focus_ = nullptr;
  eComboBox* openCombo_ = nullptr;
  CellRect comboRect_;
};

// A message box as a dialog: its caption, its text, its buttons, centred
// on the screen and sized to its text rather than scaled.
void drawDialog(const TerminalLayout& layout, eMessageBox& box, bool active, bool unicode) {
  const CellRect& s = layout.screen();
  const int maxWidth = std::max(10, s.width - 4);
  std::vector<int> values = box.buttons();
  std::string buttons;
  for (int v : values) buttons += std::string(buttons.empty() ? "" : "  ") + "[ " + eMessageBox::buttonLabel(v) + " ]";
  std::vector<std::string> lines = wrapLines(box.getMessage(), maxWidth - 4);
  int inner = std::max({textCells(box.getText(), unicode) + 2, static_cast<int>(buttons.size())});
  for (const auto& l : lines) inner = std::max(inner, textCells(l, unicode));
  const int width = std::min(maxWidth, inner + 4);
  const int maxLines = std::max(1, s.height - 2 - (values.empty() ? 0 : 2));
  if (static_cast<int>(lines.size()) > maxLines) lines.resize(static_cast<size_t>(maxLines));
  const int height = static_cast<int>(lines.size()) + 2 + (values.empty() ? 0 : 2);
  CellRect r{s.x + (s.width - width) / 2, s.y + std::max(0, (s.height - height) / 2), width, height};
  const attr_t body = pairAttr(kDialog, A_REVERSE);
  fillCells(r, body);
  drawBorder(r, body | A_BOLD);
  put(r.y, r.x + 2, " " + box.getText() + " ", body | A_BOLD, r.right() - 1, unicode);
  for (size_t i = 0; i < lines.size(); ++i)
    put(r.y + 1 + static_cast<int>(i), r.x + 2, lines[i], body, r.right() - 2, unicode);
  if (values.empty()) return;
  int x = r.x + std::max(2, (width - static_cast<int>(buttons.size())) / 2);
  const int y = r.bottom() - 2;
  const int selected = box.getSelectedButton();
  for (int v : values) {
    const std::string text = std::string("[ ") + eMessageBox::buttonLabel(v) + " ]";
    const attr_t a = active && v == selected ? pairAttr(kFocus, A_NORMAL) | A_BOLD : body;
    put(y, x, text, a, r.right() - 1, unicode);
    x += static_cast<int>(text.size()) + 2;
  }
}

bool localeIsUtf8() {
  const char* codeset = nl_langinfo(CODESET);
  return codeset && (std::strcmp(codeset, "UTF-8") == 0 || std::strcmp(codeset, "utf8") == 0);
}

}  // namespace

eTextInputField* editingField() {
  eWidget* window = eApp->runningWindow();
  auto* field = window ? dynamic_cast<eTextInputField*>(window->getFocus()) : nullptr;
  return field && field->isEditing() ? field : nullptr;
}

void applyKeyAction(const KeyAction& action) {
  switch (action.kind) {
    case KeyAction::Kind::Key:
      eApp->keyPress(action.key);
      break;
    case KeyAction::Kind::Type:
      if (eTextInputField* field = editingField()) field->typeChar(action.typed);
      break;
    default:
      break;
  }
}

TerminalFrontend::TerminalFrontend(Setup setup) : setup_(std::move(setup)) {}

TerminalFrontend::~TerminalFrontend() {
  if (term_) finish("");
}

bool TerminalFrontend::open(std::string& error) {
  tty_ = std::fopen("/dev/tty", "r+e");
  if (!tty_) {
    error = "no terminal to draw on (/dev/tty): " + std::string(std::strerror(errno));
    return false;
  }
  // Box lines, braille and station names need a UTF-8 character type. A
  // shell that names no locale at all most likely has a UTF-8 terminal.
  setlocale(LC_CTYPE, "");
  if (!localeIsUtf8() && !std::getenv("LC_ALL") && !std::getenv("LC_CTYPE") && !std::getenv("LANG"))
    setlocale(LC_CTYPE, "C.UTF-8");
  unicode_ = localeIsUtf8();
  const char* term = std::getenv("TERM");
  term_ = newterm(nullptr, tty_, tty_);
  if (!term_) {
    error = std::string("cannot drive the terminal of type \"") + (term ? term : "") +
            "\"; set TERM (for example TERM=xterm-256color)";
    std::fclose(tty_);
    tty_ = nullptr;
    return false;
  }
  set_term(term_);
  raw();  // Ctrl-C is a key here, and never a signal to the plug-in's commands
  noecho();
  keypad(stdscr, TRUE);
  set_escdelay(25);
  curs_set(0);
  colour_ = has_colors();
  g_colour = colour_;
  if (colour_) {
    start_color();
    init_pair(kScreen, COLOR_WHITE, COLOR_BLACK);
    init_pair(kWindow, COLOR_WHITE, COLOR_BLUE);
    init_pair(kTitle, COLOR_BLACK, COLOR_CYAN);
    init_pair(kButton, COLOR_WHITE, COLOR_BLACK);
    init_pair(kFocus, COLOR_BLACK, COLOR_CYAN);
    init_pair(kField, COLOR_BLACK, COLOR_WHITE);
    init_pair(kRed, COLOR_RED, COLOR_BLACK);
    init_pair(kGreen, COLOR_GREEN, COLOR_BLACK);
    init_pair(kYellow, COLOR_YELLOW, COLOR_BLACK);
    init_pair(kBlue, COLOR_BLUE, COLOR_BLACK);
    init_pair(kStatusBar, COLOR_BLACK, COLOR_WHITE);
    init_pair(kDialog, COLOR_BLACK, COLOR_WHITE);
    init_pair(kLcd, COLOR_BLACK, COLOR_GREEN);
    init_pair(kFoot, COLOR_WHITE, COLOR_BLACK);
    init_pair(kHint, COLOR_CYAN, COLOR_BLACK);
  }
  draw();
  return true;
}

void TerminalFrontend::finish(const std::string& line) {
  if (!term_) return;
  endwin();
  delscreen(term_);
  term_ = nullptr;
  if (tty_) {
    if (!line.empty()) std::fprintf(tty_, "%s\n", line.c_str());
    std::fclose(tty_);
    tty_ = nullptr;
  }
}

void TerminalFrontend::poll() {
  if (!term_) return;
  if (leaving_) {
    leaveStep();
    return;
  }
  // Pictures the plug-in wrote and titles the player heard since last time.
  const int frames = LcdPanel::stats().frames;
  if (frames != lcdFrames_) dirty_ = true;
  if (setup_.player && setup_.player->status().version != playerVersion_) dirty_ = true;
  if (dirty_) draw();

  std::int64_t wait = eApp->msToNextTimer();
  if (wait < 0 || wait > kIdlePollMs) wait = kIdlePollMs;
  wtimeout(stdscr, static_cast<int>(wait));
  const int ch = wgetch(stdscr);
  if (ch != ERR) handle(ch);
}

void TerminalFrontend::handle(int ch) {
  const KeyAction action = mapKey(ch, editingField() != nullptr);
  switch (action.kind) {
    case KeyAction::Kind::Resize:
      clearok(stdscr, TRUE);
      dirty_ = true;
      break;
    case KeyAction::Kind::Leave:
      leaving_ = true;
      break;
    case KeyAction::Kind::None:
      break;
    default: {
      // Keys typed blind into a screen nobody can see are dropped, but Esc.
      const TerminalLayout layout(getmaxx(stdscr), getmaxy(stdscr));
      if (layout.tooSmall() && !(action.kind == KeyAction::Kind::Key && action.key == eKey::exit))
        break;
      applyKeyAction(action);
      dirty_ = true;
    }
  }
  if (dirty_) draw();
}

// Ctrl-C: every box is answered with OK (so a running ripper is stopped),
// every window is left with exit, until the plug-in has returned.
void TerminalFrontend::leaveStep() {
  if (++leaveKeys_ > kMaxLeaveKeys) {
    leaving_ = false;  // the windows would not close; give the keys back
    return;
  }
  // Exit also ends the editing of a text field first.
  eApp->keyPress(dynamic_cast<eMessageBox*>(eApp->runningWindow()) ? eKey::ok : eKey::exit);
  draw();
}

void TerminalFrontend::changed(eWidget* widget) {
  dirty_ = true;
  // A list refills entry by entry; it is drawn when the loop polls again.
  // Everything else (a label set before a blocking command) is drawn now.
  if (dynamic_cast<eListBoxBase*>(widget)) return;
  draw();
}

void TerminalFrontend::messageBoxShown(eMessageBox& box) {
  (void)box;  // the user answers it
  draw();
}

void TerminalFrontend::windowEntered(eWidget* window) {
  (void)window;
  draw();
}

void TerminalFrontend::windowLeft(eWidget* window) {
  (void)window;
  draw();
}

void TerminalFrontend::draw() {
  if (!term_ || drawing_) return;
  drawing_ = true;
  dirty_ = false;
  lcdFrames_ = LcdPanel::stats().frames;
  if (setup_.player) playerVersion_ = setup_.player->status().version;
  const TerminalLayout layout(getmaxx(stdscr), getmaxy(stdscr));
  erase();
  if (layout.tooSmall()) {
    std::vector<std::string> lines = wrapLines(layout.tooSmallMessage(), std::max(10, layout.columns() - 2));
    for (size_t i = 0; i < lines.size(); ++i)
      put(static_cast<int>(i) + 1, 1, lines[i], A_BOLD, layout.columns(), unicode_);
  } else {
    drawScreen(layout);
    drawLcd(layout);
    drawFoot(layout);
  }
  refresh();
  drawing_ = false;
}

void TerminalFrontend::drawScreen(const TerminalLayout& layout) {
  fillCells(layout.screen(), pairAttr(kScreen));
  drawBorder(layout.screen(), pairAttr(kScreen) | A_DIM);
  eWidget* running = eApp->runningWindow();
  eWidget* top = nullptr;
  for (eWidget* w : eApp->windows())
    if (w->isVisible()) top = w;
  if (!running) running = top;
  for (eWidget* w : eApp->windows()) {
    if (!w->isVisible()) continue;
    WindowPainter painter(layout, w == running, unicode_);
    visitWidget(*w, painter);
  }
}

void TerminalFrontend::drawLcd(const TerminalLayout& layout) {
  if (layout.lcdPlace() == TerminalLayout::LcdPlace::None) return;
  const CellRect& box = layout.lcdBox();
  drawBorder(box, pairAttr(kFoot) | A_BOLD);
  put(box.y, box.x + 2, " front panel LCD ", pairAttr(kFoot) | A_BOLD, box.right() - 1, unicode_);
  const LcdPanel::Frame picture = LcdPanel::picture();
  LcdFrame pixels;
  std::copy(picture.begin(), picture.end(), pixels.begin());
  const std::vector<std::string> lines = lcdBraille(pixels, unicode_);
  for (int i = 0; i < static_cast<int>(lines.size()) && box.y + 1 + i < box.bottom() - 1; ++i)
    put(box.y + 1 + i, box.x + 1, lines[static_cast<size_t>(i)], pairAttr(kLcd, A_NORMAL),
        box.right() - 1, unicode_);
}

std::string TerminalFrontend::playerText() const {
  std::string text;
  if (setup_.player) {
    const StreamPlayer::Status s = setup_.player->status();
    if (s.stream) {
      // Each piece in its own charset, so a Latin-1 title leaves a UTF-8 name be.
      const std::string dash = unicode_ ? " \u2014 " : " - ";
      text = (unicode_ ? "\u266a " : "Playing: ") + icy::titleToUtf8(s.station);
      // What went wrong leads, so a long station address cannot push it off the line.
      const std::string named = s.station == s.url ? "" : dash + icy::titleToUtf8(s.station);
      switch (s.state) {
        case StreamPlayer::State::Connecting:
          text = (unicode_ ? "\u266a " : "") + ("connecting to " + icy::titleToUtf8(s.text)) + (unicode_ ? "\u2026" : "...");
          break;
        case StreamPlayer::State::Reconnecting:
          text = (unicode_ ? "\u266a " : "") + ("reconnecting (" + std::to_string(s.attempt) + " of " +
                  std::to_string(icy::RetryPolicy().attempts) + "): ") + icy::titleToUtf8(s.text) + named;
          break;
        case StreamPlayer::State::Failed:
          text = (unicode_ ? "\u2717 " : "") + ("failed: " + icy::titleToUtf8(s.text)) + named;
          break;
        case StreamPlayer::State::Stopped:
          text = (unicode_ ? "\u25a0 " : "") + ("stopped: " + icy::titleToUtf8(s.station));
          break;
        case StreamPlayer::State::Playing:
          if (!s.title.empty()) text += dash + icy::titleToUtf8(s.title);
          if (!s.format.empty()) text += "  [" + s.format + "]";
          if (!setup_.sound && !setup_.wavFile.empty()) text += "  [decoding into " + setup_.wavFile + "]";
          else if (!setup_.sound) text += "  [no sound device: decoding only]";
          break;
      }
    } else {
      text = (unicode_ ? "\u25b6 " : "Playing: ") + s.station;
    }
  } else {
    text = "Playing: " + ref2string(eServiceInterface::getInstance()->getCurrentService()) +
           " (stub player)";
  }
  return text;
}

void TerminalFrontend::drawFoot(const TerminalLayout& layout) {
  const int cols = layout.columns();
  std::string right = "log: " + setup_.logPath;
  if (layout.lcdPlace() == TerminalLayout::LcdPlace::None) right = "LCD: widen the terminal   " + right;
  const std::string left = playerText();
  const int rightCells = textCells(right, unicode_);
  put(layout.playerRow(), 0, left, pairAttr(kFoot) | A_BOLD, std::max(0, cols - rightCells - 2), unicode_);
  if (rightCells + 2 + 20 <= cols)
    put(layout.playerRow(), cols - rightCells, right, pairAttr(kHint) | A_DIM, cols, unicode_);
  put(layout.helpRow(), 0, keyHelp(editingField() != nullptr), pairAttr(kHint), cols, unicode_);
}

}  // namespace oruvel_host
