#pragma once
#include "host/host_api.h"

// The host's own LCD driver object. While it is locked the host owns the
// front panel; the plug-in draws only between unlock() and lock().
class HOST_API eLCD {
 public:
  void lock();
  void unlock();
  bool isLocked() const { return locked_ > 0; }
  int lockCount() const { return locked_; }

 private:
  int locked_ = 1;
};

class HOST_API eDBoxLCD : public eLCD {
 public:
  static eDBoxLCD* getInstance();
};
