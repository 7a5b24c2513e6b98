#pragma once
#include "host/host_api.h"

// The host's own LCD driver object. While it is locked the host owns the
// front panel; the plug-in draws only between unlock() and lock(). The lock
// nests: it starts held once, lock() takes it once more, unlock() gives one
// back (never below free).
class HOST_API eLCD {
 public:
  void lock();
  void unlock();

 private:
  friend class HostInspection;  // host/inspection.h reads it back
  int locked_ = 1;
  int lockCalls_ = 0, unlockCalls_ = 0;
};

class HOST_API eDBoxLCD : public eLCD {
 public:
  static eDBoxLCD* getInstance();
};
