#include "host/eapplication.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

namespace {

class SteadyClock : public eClock {
 public:
  std::int64_t nowMs() override {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
  }
};

SteadyClock& steadyClock() {
  static SteadyClock clock;
  return clock;
}

}  // namespace

// Never destroyed: widgets and timers of a plug-in that is unloaded late
// may still unregister themselves at exit.
eApplication* eApp = new eApplication;

eClock::~eClock() = default;
eFrontend::~eFrontend() = default;

eApplication::eApplication() = default;
eApplication::~eApplication() = default;

void eApplication::setClock(eClock* clock) { clock_ = clock; }

eClock& eApplication::clock() { return clock_ ? *clock_ : steadyClock(); }

std::int64_t eApplication::now() { return clock().nowMs(); }

void eApplication::setFrontend(eFrontend* frontend) { frontend_ = frontend; }

eTimer* eApplication::nextDueTimer(std::int64_t notAfter) const {
  eTimer* best = nullptr;
  for (eTimer* t : timers_) {
    if (!t->active_ || t->due_ > notAfter) continue;
    if (!best || t->due_ < best->due_ || (t->due_ == best->due_ && t->order_ < best->order_))
      best = t;
  }
  return best;
}

void eApplication::processTimers() {
  // A periodic timer is re-armed past the current time when it fires, so
  // this ends even while the clock stands still.
  const std::int64_t current = now();
  while (eTimer* timer = nextDueTimer(current)) timer->fire();
}

void eApplication::advance(std::int64_t ms) {
  if (ms < 0) ms = 0;
  const std::int64_t target = now() + ms;
  if (auto* virtualClock = dynamic_cast<eVirtualClock*>(&clock())) {
    for (;;) {
      processTimers();
      eTimer* next = nextDueTimer(target);
      if (!next) break;
      // A timer fired in between may have run a nested loop that moved
      // the clock on already; time never goes back.
      if (next->due_ > virtualClock->nowMs()) virtualClock->set(next->due_);
    }
    if (virtualClock->nowMs() < target) virtualClock->set(target);
    processTimers();
    return;
  }
  for (;;) {
    processTimers();
    std::int64_t left = target - now();
    if (left <= 0) break;
    std::int64_t next = msToNextTimer();
    std::int64_t wait = next >= 0 ? std::min(left, std::max<std::int64_t>(next, 1)) : left;
    std::this_thread::sleep_for(std::chrono::milliseconds(wait));
  }
}

void eApplication::idle() {
  const std::int64_t next = msToNextTimer();
  if (next >= 0) {
    advance(next);
    return;
  }
  if (eWidget* window = runningWindow()) {
    std::fprintf(stderr, "host: a window waits for input but nothing can deliver it; closing it\n");
    window->close(-1);
  }
}

std::int64_t eApplication::msToNextTimer() {
  std::int64_t best = -1;
  for (eTimer* t : timers_)
    if (t->active_ && (best < 0 || t->due_ < best)) best = t->due_;
  if (best < 0) return -1;
  return std::max<std::int64_t>(0, best - now());
}

void eApplication::keyPress(eKey key) {
  eWidget* window = runningWindow();
  if (!window) {
    for (auto it = windows_.rbegin(); it != windows_.rend() && !window; ++it)
      if ((*it)->isVisible()) window = *it;
  }
  if (!window) return;
  // The focused widget first, then its parents, then the window itself.
  for (eWidget* w = window->getFocus(); w && w != window; w = w->getParent()) {
    if (!w->isShownItselfAll(window)) break;  // a hidden widget takes no keys
    if (w->keyDown(key)) return;
  }
  window->keyDown(key);
}

eWidget* eApplication::runningWindow() const { return running_.empty() ? nullptr : running_.back(); }

void eApplication::registerTimer(eTimer* timer) { timers_.push_back(timer); }

void eApplication::unregisterTimer(eTimer* timer) {
  timers_.erase(std::remove(timers_.begin(), timers_.end(), timer), timers_.end());
}

void eApplication::windowShown(eWidget* window) {
  if (std::find(windows_.begin(), windows_.end(), window) == windows_.end())
    windows_.push_back(window);
  changed(window);
}

void eApplication::windowHidden(eWidget* window) {
  windows_.erase(std::remove(windows_.begin(), windows_.end(), window), windows_.end());
  changed(window);
}

void eApplication::enterLoop(eWidget* window) {
  running_.push_back(window);
  if (frontend_) frontend_->windowEntered(window);
}

void eApplication::leaveLoop(eWidget* window) {
  auto it = std::find(running_.rbegin(), running_.rend(), window);
  if (it != running_.rend()) running_.erase(std::next(it).base());
  if (frontend_) frontend_->windowLeft(window);
}

void eApplication::changed(eWidget* widget) {
  if (frontend_) frontend_->changed(widget);
}

void eApplication::widgetDestroyed(eWidget* widget) {
  windows_.erase(std::remove(windows_.begin(), windows_.end(), widget), windows_.end());
  running_.erase(std::remove(running_.begin(), running_.end(), widget), running_.end());
}

eTimer::eTimer(eApplication* application) : app_(application ? application : eApp) {
  app_->registerTimer(this);
}

eTimer::~eTimer() { app_->unregisterTimer(this); }

void eTimer::start(long ms, bool singleShot) {
  if (ms < 0) ms = 0;
  active_ = true;
  singleShot_ = singleShot;
  interval_ = ms;
  due_ = app_->now() + ms;
  order_ = ++app_->timerStarts_;
}

void eTimer::stop() { active_ = false; }

void eTimer::fire() {
  if (!active_) return;
  if (singleShot_) {
    active_ = false;
  } else {
    const std::int64_t step = interval_ > 0 ? interval_ : 1;
    const std::int64_t current = app_->now();
    due_ += step;
    if (due_ <= current) due_ = current + step;
    order_ = ++app_->timerStarts_;
  }
  // The handler may restart, stop or even delete this timer.
  SigC::emitGuarded(timeout);
}
