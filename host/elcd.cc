#include "host/elcd.h"

void eLCD::lock() {
  ++locked_;
  ++lockCalls_;
}

void eLCD::unlock() {
  if (locked_ > 0) --locked_;
  ++unlockCalls_;
}

eDBoxLCD* eDBoxLCD::getInstance() {
  static eDBoxLCD* instance = new eDBoxLCD;
  return instance;
}
