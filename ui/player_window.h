#pragma once
// eShowInfo, the small player window behind the "M" button.
#include "host/host.h"

class eShowInfo : public eWindow {
 public:
  eShowInfo();
  ~eShowInfo() override;
  void getStreamInfo();

  eLabel* info1_label;
  eLabel* info2_label;
  eLabel* rip_info_label;
  eTimer* refresh_timer;
};
