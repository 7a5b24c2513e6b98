// The LCD's status texts, built at load, and the status tick that the main
// window and the player window share.
#include "base/fixed_text.h"
#include "base/version.h"
#include "host/host.h"
#include "lcd/lcd_display.h"
#include "lcd/status_layout.h"
#include "ripper/ripper_files.h"
#include "ui/main_window.h"
#include "ui/lcd_status.h"

// The load-time LCD objects of the plug-in. They are defined here, in one
// file, so that they are built in this order when the library is loaded:
// the two texts first, then the display, whose constructor opens the panel.
eString lcdstring;
eString lcdtitle;
CLCDDisplay display;
char lm_info[256];

void showDisplay() { oruvel::layoutStatusText(display, lcdstring); }

namespace oruvel {

eString serviceInfo(int id) {
  eServiceInterface* services = eServiceInterface::getInstance();
  eServiceHandler* handler = services ? services->getService() : nullptr;
  return handler ? handler->getInfo(id) : eString();
}

bool readRipperLine() { return ripper::readProgressLine(lm_info); }

void refreshLcd() {
  lcdtitle = serviceInfo(1);
  lcdstring = eString("Oruvel V" ORUVEL_VERSION " PLAY:") + lcdtitle + "  RIP: " + lm_info;
  eDBoxLCD* hostLcd = eDBoxLCD::getInstance();
  hostLcd->unlock();
  showDisplay();
  hostLcd->lock();
}

}  // namespace oruvel

void eOruvel::getStreamInfo() {
  play_status->setText(oruvel::serviceInfo(1));
  if (oruvel::readRipperLine()) {
    rip_button->setText("Stop");
  } else {
    oruvel::copyBounded(lm_info, "lumoripper is not running.");
    rip_button->setText("Rip");
  }
  rip_status->setText(eString().sprintf("%s", lm_info));
  oruvel::refreshLcd();
  status_timer->start(3000, false);
}
