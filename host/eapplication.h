#pragma once
// The host's application object: the GUI thread's event loop, its clock
// and its timers. A front end feeds it keys and draws what it holds.
#include <cstdint>
#include <vector>

#include "host/ewidget.h"

class eTimer;

// Milliseconds since an arbitrary start; injectable so tests advance time.
class HOST_API eClock {
 public:
  virtual ~eClock();
  virtual std::int64_t nowMs() = 0;
};

// A clock that stands still until told to move: tests and the scripted
// front end advance it (eApplication::advance) instead of sleeping.
class HOST_API eVirtualClock : public eClock {
 public:
  std::int64_t nowMs() override { return now_; }
  void set(std::int64_t ms) { now_ = ms; }

 private:
  std::int64_t now_ = 0;
};

// What draws the screen and delivers input: headless (scripted) or
// terminal. The application calls it; the plug-in never sees it.
class HOST_API eFrontend {
 public:
  virtual ~eFrontend();
  // Waits for and delivers input (eApplication::keyPress, or for a script
  // the commands it runs), advancing the clock where it is virtual. Called
  // over and over by every running event loop until that loop ends.
  virtual void poll() = 0;
  // A widget's text, visibility or focus changed; draw it soon. Called
  // synchronously, so a label set just before a blocking shell command can
  // be drawn before the command runs.
  virtual void changed(eWidget* widget) { (void)widget; }
  // A message box is about to run its modal loop. The headless front end
  // answers it at once by closing it; the terminal one lets the user.
  virtual void messageBoxShown(class eMessageBox& box) { (void)box; }
  // A window started or ended its modal run.
  virtual void windowEntered(eWidget* window) { (void)window; }
  virtual void windowLeft(eWidget* window) { (void)window; }
};

class HOST_API eApplication {
 public:
  eApplication();
  ~eApplication();

  void setClock(eClock* clock);  // not owned; null: the real clock
  std::int64_t now();
  void setFrontend(eFrontend* frontend);  // not owned
  eFrontend* frontend() const { return frontend_; }

  // Fires every timer that is due now, in order of expiry.
  void processTimers();
  // Lets ms pass, firing timers at their due times: a virtual clock is
  // moved from one due time to the next, the real clock is waited for.
  void advance(std::int64_t ms);
  // Milliseconds until the next timer is due (-1: none).
  std::int64_t msToNextTimer();

  // Delivers a key to the running window's focused widget (then its
  // parents, then the window).
  void keyPress(eKey key);

  // Windows that are shown, in showing order (top-level widgets).
  const std::vector<eWidget*>& windows() const { return windows_; }
  // The innermost window in its modal run.
  eWidget* runningWindow() const;

 private:
  // The bookkeeping of widgets and timers, which tell the application
  // about themselves.
  friend class eWidget;
  friend class eTimer;
  eClock& clock();
  // Runs an event loop: polls the front end and fires due timers until
  // `done`.
  template <class Done>
  void loopUntil(Done done) {
    while (!done()) {
      processTimers();
      if (done()) break;
      if (frontend_)
        frontend_->poll();
      else
        idle();
      processTimers();
    }
  }
  // Without a front end only timers can end a loop: waits for the next
  // one; with none left the running window is closed with -1 rather than
  // waiting for ever.
  void idle();
  eTimer* nextDueTimer(std::int64_t notAfter) const;
  void registerTimer(eTimer* timer);
  void unregisterTimer(eTimer* timer);
  void windowShown(eWidget* window);
  void windowHidden(eWidget* window);
  void enterLoop(eWidget* window);
  void leaveLoop(eWidget* window);
  void changed(eWidget* widget);
  void widgetDestroyed(eWidget* widget);

  eClock* clock_ = nullptr;
  eFrontend* frontend_ = nullptr;
  std::vector<eTimer*> timers_;
  std::vector<eWidget*> windows_;
  std::vector<eWidget*> running_;
  std::uint64_t timerStarts_ = 0;
};

// The one application object of the process.
extern HOST_API eApplication* eApp;

// A timer on the application's loop; `timeout` fires on the GUI thread.
// Deleting a timer stops it, running or not.
class HOST_API eTimer {
 public:
  explicit eTimer(eApplication* application = eApp);
  ~eTimer();
  eTimer(const eTimer&) = delete;
  eTimer& operator=(const eTimer&) = delete;
  // Fires after ms; when singleShot is false it then keeps firing every ms.
  // Starting a running timer starts it again from now.
  void start(long ms, bool singleShot = true);
  void stop();
  bool isActive() const { return active_; }

  SigC::Signal0<void> timeout;

 private:
  friend class eApplication;
  // Called by the application when due.
  void fire();

  eApplication* app_;
  bool active_ = false;
  bool singleShot_ = true;
  long interval_ = 0;
  std::int64_t due_ = 0;
  std::uint64_t order_ = 0;  // ties between equal due times: start order
};
