#include "host/inspection.h"

eServiceHandler* eFixedInfoPlayer::play(const eServiceReference& ref) {
  (void)ref;
  return this;
}

eString eFixedInfoPlayer::getInfo(int id) {
  if (id == 1) return title_;
  if (id == 2) return title2_;
  return eString();
}

void HostInspection::setPlayer(ePlayerBackend* player) { eZapMain::getInstance()->player_ = player; }

void HostInspection::setCurrentService(const eServiceReference& ref, eServiceHandler* handler) {
  eServiceInterface* services = eServiceInterface::getInstance();
  services->current_ = ref;
  services->handler_ = handler;
}

void HostInspection::setServiceAPIAvailable(bool available) {
  eDVB::getInstance()->available_ = available;
}

decoderParameters HostInspection::decoderApplied() { return Decoder::applied_; }

int HostInspection::decoderSets() { return Decoder::sets_; }

HostInspection::LcdLock HostInspection::lcdLock(const eLCD& lcd) {
  return {lcd.locked_ > 0, lcd.locked_, lcd.lockCalls_, lcd.unlockCalls_};
}
