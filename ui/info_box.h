#pragma once
// The plug-in's information box: caption "Oruvel-Information" from the
// message catalogue, one OK button, run until the user closes it.
#include <clocale>
#include <cstdint>

#include "host/host.h"

namespace oruvel {

inline const char* translated(const char* text) { return dcgettext(nullptr, text, LC_MESSAGES); }

inline int showInformation(const eString& text) {
  eMessageBox box(text, translated("Oruvel-Information"), 0x21, 1, 0);
  box.show();
  int answer = box.exec();
  box.hide();
  return answer;
}

// The integer key carried in a list entry's pointer-sized key.
inline int entryKey(const eListBoxEntryText* entry) {
  return static_cast<int>(reinterpret_cast<std::intptr_t>(entry->getKey()));
}
inline void* keyPointer(int key) { return reinterpret_cast<void*>(static_cast<std::intptr_t>(key)); }

}  // namespace oruvel
