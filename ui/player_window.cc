#include "ui/player_window.h"

#include "ui/lcd_status.h"
#include "base/fixed_text.h"
#include "ui/main_window.h"

namespace {

eLabel* makeInfoLabel(eShowInfo* window, int y) {
  auto* label = new eLabel(window, 0, 0, "eLabel");
  label->move(ePoint(10, y));
  label->resize(eSize(400, 30));
  label->loadDeco();
  label->setText(" ");
  return label;
}

}  // namespace

eShowInfo::eShowInfo() : eWindow(2), refresh_timer(nullptr) {
  cmove(ePoint(70, 100));
  cresize(eSize(560, 110));
  setText("Oruvel player");
  info1_label = makeInfoLabel(this, 10);
  info2_label = makeInfoLabel(this, 40);
  rip_info_label = makeInfoLabel(this, 80);
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
