#include "host/emessagebox.h"

#include <algorithm>
#include <cstdio>

#include "host/eapplication.h"
#include "host/transcript.h"

namespace {
constexpr int kCharWidth = 10, kLineHeight = 25, kMargin = 10;
constexpr int kButtonWidth = 90, kButtonHeight = 30, kButtonStep = 100;
const int kButtonOrder[] = {eMessageBox::btOK, eMessageBox::btCancel, eMessageBox::btYes,
                            eMessageBox::btNo};

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (;;) {
    size_t end = text.find('\n', start);
    lines.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  // A final newline ends the last line; it does not start another one.
  if (lines.size() > 1 && lines.back().empty()) lines.pop_back();
  return lines;
}
}  // namespace

eMessageBox::eMessageBox(eString message, eString caption, int flags, int defaultButton,
                         int timeout)
    : eWindow(0), message_(std::move(message)), flags_(flags), default_(defaultButton),
      timeout_(timeout) {
  setText(caption);
  const std::vector<std::string> lines = linesOf(message_);
  size_t longest = caption.size() + 4;
  for (const auto& l : lines) longest = std::max(longest, l.size());
  const std::vector<int> values = buttons();
  const int textHeight = static_cast<int>(lines.size()) * kLineHeight;
  const int buttonsWidth = static_cast<int>(values.size()) * kButtonStep;
  int width = std::max(static_cast<int>(longest) * kCharWidth, buttonsWidth) + 2 * kMargin;
  width = std::min(width, kScreenWidth - 2 * kMargin);
  int height = textHeight + 2 * kMargin + (values.empty() ? 0 : kButtonHeight + kMargin);
  height = std::min(height, kScreenHeight - 60);
  cresize(eSize(width, height));
  cmove(ePoint((kScreenWidth - width) / 2, (kScreenHeight - height) / 2));

  textLabel_ = new eLabel(this);
  textLabel_->move(ePoint(kMargin, kMargin));
  textLabel_->resize(eSize(width - 2 * kMargin, textHeight));
  textLabel_->setText(message_);
  textLabel_->loadDeco();

  int x = (width - buttonsWidth) / 2 + (kButtonStep - kButtonWidth) / 2;
  for (int value : values) {
    auto* button = new eButton(this);
    button->move(ePoint(x, textHeight + 2 * kMargin));
    button->resize(eSize(kButtonWidth, kButtonHeight));
    button->setText(buttonLabel(value));
    button->loadDeco();
    button->selected.connect([this, value] { choose(value); });
    choices_.push_back({button, value});
    x += kButtonStep;
  }
  const int start = defaultValue();
  for (const Choice& c : choices_)
    if (c.value == start) setFocus(c.button);
}

eMessageBox::~eMessageBox() = default;

std::vector<int> eMessageBox::buttons() const {
  std::vector<int> values;
  for (int value : kButtonOrder)
    if (flags_ & value) values.push_back(value);
  return values;
}

const char* eMessageBox::buttonLabel(int value) {
  switch (value) {
    case btOK: return "OK";
    case btCancel: return "Cancel";
    case btYes: return "Yes";
    case btNo: return "No";
    default: return "";
  }
}

int eMessageBox::defaultValue() const {
  const std::vector<int> values = buttons();
  if (values.empty() || std::find(values.begin(), values.end(), default_) != values.end())
    return default_;
  return values.front();
}

int eMessageBox::declineValue() const {
  if (flags_ & btCancel) return btCancel;
  if (flags_ & btNo) return btNo;
  return defaultValue();
}

int eMessageBox::getSelectedButton() const {
  const eWidget* focus = getFocus();
  for (const Choice& c : choices_)
    if (c.button == focus) return c.value;
  return defaultValue();
}

bool eMessageBox::keyDown(eKey key) {
  switch (key) {
    case eKey::exit:
      close(declineValue());
      return true;
    case eKey::ok:
      close(getSelectedButton());
      return true;
    case eKey::up:
    case eKey::down:
    case eKey::left:
    case eKey::right:
      return eWindow::keyDown(key);
    default:
      return true;  // a message box keeps every other key to itself
  }
}

void eMessageBox::willShow() {
  char flags[16];
  std::snprintf(flags, sizeof flags, "0x%x", static_cast<unsigned>(flags_));
  host_transcript::line("msgbox " + host_transcript::quoted(getText()) + " flags=" + flags + " " +
                        host_transcript::quoted(message_));
}

void eMessageBox::execStarted() {
  if (timeout_ > 0) {
    timer_ = std::make_unique<eTimer>(eApp);
    timer_->timeout.connect([this] { close(defaultValue()); });
    timer_->start(static_cast<long>(timeout_) * 1000, true);
  }
  if (eApp->frontend()) eApp->frontend()->messageBoxShown(*this);
}

void eMessageBox::execFinished(int result) {
  timer_.reset();
  host_transcript::line("msgbox closed " + std::to_string(result));
}
