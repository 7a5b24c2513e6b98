#include "host/ewindow.h"

#include "host/ebutton.h"

namespace {
// The title bar above a window's client area.
constexpr int kTitleHeight = 30;
}  // namespace

eWindow::eWindow(int style) : eWidget(nullptr, 0) { (void)style; }

eWindow::~eWindow() = default;

void eWindow::cmove(const ePoint& position) {
  clientPos_ = position;
  move(ePoint(position.x, position.y - kTitleHeight));
}

void eWindow::cresize(const eSize& size) {
  clientSize_ = size;
  resize(eSize(size.width, size.height + kTitleHeight));
}

namespace {
const char* colourOf(eKey key) {
  switch (key) {
    case eKey::red: return "red";
    case eKey::green: return "green";
    case eKey::yellow: return "yellow";
    case eKey::blue: return "blue";
    default: return nullptr;
  }
}
}  // namespace

bool eWindow::keyDown(eKey key) {
  switch (key) {
    case eKey::up:
    case eKey::left:
      return focusNext(true);
    case eKey::down:
    case eKey::right:
      return focusNext(false);
    case eKey::exit:
      close(0);
      return true;
    default:
      break;
  }
  if (const char* colour = colourOf(key)) {
    std::vector<eWidget*> all;
    collect(all);
    for (eWidget* w : all) {
      auto* button = dynamic_cast<eButton*>(w);
      if (button && button->getShortcut() == colour &&
          button->isShownItselfAll(this)) {
        SigC::emitGuarded(button->selected);
        return true;
      }
    }
  }
  return false;
}
