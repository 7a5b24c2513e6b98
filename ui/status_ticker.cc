#include "ui/status_ticker.h"

#include "base/fixed_text.h"

namespace oruvel {

void StatusTicker::tick() {
  labels_.title->setText(serviceInfo(1));
  if (labels_.station) labels_.station->setText(serviceInfo(2));
  char(&line)[256] = state_.lcd.lm_info;
  const bool recording = state_.ripper.recording(line);
  if (!recording) copyBounded(line, labels_.notRecording);
  if (labels_.ripKey) labels_.ripKey->setText(recording ? "Stop" : "Rip");
  labels_.progress->setText(line);
  refreshLcd(state_.lcd, state_.display);
  timer_->start(kIntervalMs, false);
}

}  // namespace oruvel
