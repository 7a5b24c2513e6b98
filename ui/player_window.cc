#include "ui/player_window.h"

#include "ui/main_window.h"
#include "ui/widget_factory.h"

eShowInfo::eShowInfo(oruvel::PluginState& state) : eWindow(2) {
  cmove(ePoint(70, 100));
  cresize(eSize(560, 110));
  setText("Oruvel player");
  info1_label = oruvel::makeLabel(this, 10, 10, 400, 30, " ");
  info1_label->setName("info1_label");
  info2_label = oruvel::makeLabel(this, 10, 40, 400, 30, " ");
  info2_label->setName("info2_label");
  rip_info_label = oruvel::makeLabel(this, 10, 80, 400, 30, " ");
  rip_info_label->setName("rip_info_label");
  // Here a missing progress file shows as one blank.
  refresh_timer = std::make_unique<oruvel::StatusTicker>(
      state, oruvel::StatusTicker::Labels{info1_label, info2_label, nullptr, rip_info_label, " "},
      SigC::slot(*this, &eShowInfo::getStreamInfo));
}

eShowInfo::~eShowInfo() = default;

void eShowInfo::getStreamInfo() { refresh_timer->tick(); }

void eOruvel::miniSelButton() {
  hide();
  showPic();
  eShowInfo player(state_);
  player.show();
  player.exec();
  player.hide();
  show();
  setFocus(play_button);
}
