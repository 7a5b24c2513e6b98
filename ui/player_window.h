#pragma once
// eShowInfo, the small player window behind the "M" button.
#include <memory>

#include "host/host.h"
#include "ui/plugin_state.h"
#include "ui/status_ticker.h"

class eShowInfo : public eWindow {
 public:
  // The window shows the status kept in `state`, which outlives it.
  explicit eShowInfo(oruvel::PluginState& state);
  ~eShowInfo() override;

 private:
  // The status tick (with ui/status_ticker.cc).
  void getStreamInfo();

  eLabel* info1_label;
  eLabel* info2_label;
  eLabel* rip_info_label;
  std::unique_ptr<oruvel::StatusTicker> refresh_timer;
};
