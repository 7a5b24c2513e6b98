// The LCD's status texts and their drawing on the front panel.
#include "ui/lcd_status.h"

#include "base/version.h"
#include "host/host.h"
#include "lcd/lcd_display.h"
#include "lcd/status_layout.h"

namespace oruvel {

eString serviceInfo(int id) {
  eServiceInterface* services = eServiceInterface::getInstance();
  eServiceHandler* handler = services ? services->getService() : nullptr;
  return handler ? handler->getInfo(id) : eString();
}

void showDisplay(const LcdStatus& status, CLCDDisplay& display) {
  layoutStatusText(display, status.lcdstring);
}

void refreshLcd(LcdStatus& status, CLCDDisplay& display) {
  status.lcdtitle = serviceInfo(1);
  status.lcdstring = eString("Oruvel V" ORUVEL_VERSION " PLAY:") + status.lcdtitle + "  RIP: " + status.lm_info;
  eDBoxLCD* hostLcd = eDBoxLCD::getInstance();
  hostLcd->unlock();
  showDisplay(status, display);
  hostLcd->lock();
}

}  // namespace oruvel
