#include "ui/player_window.h"

#include "ui/lcd_status.h"
#include "base/fixed_text.h"
#include "ui/main_window.h"
#include "ui/widget_factory.h"

eShowInfo::eShowInfo() : eWindow(2), refresh_timer(nullptr) {
  cmove(ePoint(70, 100));
  cresize(eSize(560, 110));
  setText("Oruvel player");
  info1_label = oruvel::makeLabel(this, 10, 10, 400, 30, " ");
  info1_label->setName("info1_label");
  info2_label = oruvel::makeLabel(this, 10, 40, 400, 30, " ");
  info2_label->setName("info2_label");
  rip_info_label = oruvel::makeLabel(this, 10, 80, 400, 30, " ");
  rip_info_label->setName("rip_info_label");
  refresh_timer = new eTimer(eApp);
  refresh_timer->timeout.connect(SigC::slot(*this, &eShowInfo::getStreamInfo));
  refresh_timer->start(3000, false);
}

eShowInfo::~eShowInfo() { delete refresh_timer; }

void eShowInfo::getStreamInfo() {
  info1_label->setText(oruvel::serviceInfo(1));
  info2_label->setText(oruvel::serviceInfo(2));
  // Here a missing progress file shows as one blank.
  if (!oruvel::readRipperLine()) oruvel::copyBounded(lm_info, " ");
  rip_info_label->setText(lm_info);
  oruvel::refreshLcd();
  refresh_timer->start(3000, false);
}

void eOruvel::miniSelButton() {
  hide();
  showPic();
  eShowInfo player;
  player.show();
  player.exec();
  player.hide();
  show();
  setFocus(play_button);
}
