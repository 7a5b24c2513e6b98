#include "host/econfig.h"

eConfig* eConfig::getInstance() {
  static eConfig* instance = new eConfig;
  return instance;
}

int eConfig::getKey(const char* key, int& value) const {
  if (!key) return -1;
  auto it = keys_.find(key);
  if (it == keys_.end()) return -1;
  value = it->second;
  return 0;
}

void eConfig::setKey(const char* key, int value) {
  if (key) keys_[key] = value;
}
