#pragma once
// The status tick of a window: every 3000 ms the stream's title, the
// ripper's progress line and the red key's text in the window's labels,
// and the same status on the front-panel LCD. The main window and the
// player window each run one.
#include "host/host.h"
#include "ui/plugin_state.h"

namespace oruvel {

class StatusTicker {
 public:
  // The widgets one window shows the status in.
  struct Labels {
    eLabel* title;               // the stream's title
    eLabel* station;             // the station's own text (info 2), or null
    eButton* ripKey;             // "Stop" while the ripper records, "Rip" when not; or null
    eLabel* progress;            // the ripper's progress line
    const char* notRecording;    // the progress line while the ripper does not record
  };

  // Starts the timer; every timeout calls `onTick` (the window's handler,
  // which calls tick()).
  template <class Slot>
  StatusTicker(PluginState& state, const Labels& labels, Slot onTick)
      : state_(state), labels_(labels), timer_(new eTimer(eApp)) {
    timer_->timeout.connect(onTick);
    timer_->start(kIntervalMs, false);
  }
  // Deleting the timer stops it.
  ~StatusTicker() { delete timer_; }
  StatusTicker(const StatusTicker&) = delete;
  StatusTicker& operator=(const StatusTicker&) = delete;

  // One refresh of the labels and the LCD; the timer starts again.
  void tick();

 private:
  static constexpr long kIntervalMs = 3000;
  PluginState& state_;
  Labels labels_;
  eTimer* timer_;
};

}  // namespace oruvel
