#pragma once
#include <map>
#include <string>

#include "host/host_api.h"

// The host's own configuration: integer keys, and the parental lock.
class HOST_API eConfig {
 public:
  static eConfig* getInstance();
  // 0 and the value when the key exists, -1 when it does not.
  int getKey(const char* key, int& value) const;
  void setKey(const char* key, int value);

  // The parental lock counts as active when both are non-zero.
  int pLockActive = 0;
  int pinCode = 0;
  bool parentalLockActive() const { return pLockActive != 0 && pinCode != 0; }

 private:
  std::map<std::string, int> keys_;
};
