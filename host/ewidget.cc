#include "host/ewidget.h"

#include <algorithm>

#include "host/eapplication.h"

namespace {
bool isWithin(const eWidget* widget, const eWidget* ancestor) {
  for (const eWidget* w = widget; w; w = w->getParent())
    if (w == ancestor) return true;
  return false;
}
}  // namespace

eWidget::eWidget(eWidget* parent, int takeFocus)
    : parent_(parent), takeFocus_(takeFocus), visible_(parent != nullptr) {
  if (parent_) parent_->childrenOrder_.push_back(this);
}

eWidget::~eWidget() {
  eWidget* window = getTLW();
  if (window->focus_ && isWithin(window->focus_, this)) window->focus_ = nullptr;
  // Children go first, while this widget is still whole enough for them.
  std::vector<eWidget*> children = std::move(childrenOrder_);
  childrenOrder_.clear();
  for (eWidget* child : children) {
    child->parent_ = nullptr;
    delete child;
  }
  if (parent_) {
    auto& siblings = parent_->childrenOrder_;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
  }
  eApp->widgetDestroyed(this);
}

void eWidget::move(const ePoint& position) {
  position_ = position;
  invalidate();
}

void eWidget::resize(const eSize& size) {
  size_ = size;
  invalidate();
}

void eWidget::setText(const eString& text) {
  text_ = text;
  invalidate();
}

void eWidget::setHelpText(const eString& text) {
  helpText_ = text;
  invalidate();
}

void eWidget::setName(const char* name) { name_ = name ? name : ""; }

bool eWidget::isVisible() const {
  for (const eWidget* w = this; w; w = w->parent_)
    if (!w->visible_) return false;
  return true;
}

void eWidget::show() {
  if (visible_) return;
  willShow();
  visible_ = true;
  if (!parent_) eApp->windowShown(this);
  invalidate();
}

void eWidget::hide() {
  if (!visible_) return;
  willHide();
  visible_ = false;
  if (!parent_) eApp->windowHidden(this);
  invalidate();
}

int eWidget::exec() {
  if (executing_) return -1;  // already in its modal run further out
  executing_ = true;
  closed_ = false;
  result_ = 0;
  eApp->enterLoop(this);
  execStarted();
  eApp->loopUntil([this] { return closed_; });
  executing_ = false;
  eApp->leaveLoop(this);
  const int result = result_;
  execFinished(result);
  return result;
}

void eWidget::close(int result) {
  eWidget* window = getTLW();
  if (!window->executing_) return;
  window->result_ = result;
  window->closed_ = true;
}

void eWidget::reject() { close(-1); }

void eWidget::setFocus(eWidget* child) {
  eWidget* window = getTLW();
  eWidget* old = window->focus_;
  if (old == child) return;
  window->focus_ = child;
  if (old) {
    old->lostFocus();
    old->invalidate();
  }
  if (child) {
    child->gotFocus();
    child->invalidate();
  }
  window->invalidate();
}

eWidget* eWidget::getFocus() const { return getTLW()->focus_; }

bool eWidget::focusNext(bool backwards) {
  eWidget* window = getTLW();
  std::vector<eWidget*> all;
  window->collect(all);
  std::vector<eWidget*> focusable;
  for (eWidget* w : all)
    if (w != window && w->takesFocus() && w->isShownItselfAll(window)) focusable.push_back(w);
  if (focusable.empty()) return false;
  auto it = std::find(focusable.begin(), focusable.end(), window->focus_);
  size_t index;
  if (it == focusable.end()) {
    index = backwards ? focusable.size() - 1 : 0;
  } else {
    size_t at = static_cast<size_t>(it - focusable.begin());
    index = backwards ? (at + focusable.size() - 1) % focusable.size() : (at + 1) % focusable.size();
  }
  window->setFocus(focusable[index]);
  return true;
}

bool eWidget::isShownItselfAll(const eWidget* upTo) const {
  for (const eWidget* w = this; w && w != upTo; w = w->parent_)
    if (!w->visible_) return false;
  return true;
}

void eWidget::collect(std::vector<eWidget*>& out) {
  out.push_back(this);
  for (eWidget* child : childrenOrder_) child->collect(out);
}

eWidget* eWidget::findByName(const eString& name) {
  if (!name.empty() && name_ == name) return this;
  for (eWidget* child : childrenOrder_)
    if (eWidget* found = child->findByName(name)) return found;
  return nullptr;
}

eWidget* eWidget::getTLW() {
  eWidget* w = this;
  while (w->parent_) w = w->parent_;
  return w;
}

const eWidget* eWidget::getTLW() const {
  const eWidget* w = this;
  while (w->parent_) w = w->parent_;
  return w;
}

bool eWidget::keyDown(eKey key) {
  (void)key;
  return false;
}

void eWidget::invalidate() { eApp->changed(this); }

eDecoWidget::eDecoWidget(eWidget* parent, int takeFocus, const char* decoName)
    : eWidget(parent, takeFocus), deco_(decoName ? decoName : "") {}

void eDecoWidget::loadDeco() {
  decoLoaded_ = true;
  invalidate();
}
