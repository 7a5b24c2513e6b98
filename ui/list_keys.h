#pragma once
// The integer keys the plug-in's list entries carry in their pointer-sized keys.
#include <cstdint>

#include "host/host.h"

namespace oruvel {

// The integer key carried in a list entry's pointer-sized key.
inline int entryKey(const eListBoxEntryText* entry) {
  return static_cast<int>(reinterpret_cast<std::intptr_t>(entry->getKey()));
}
inline void* keyPointer(int key) { return reinterpret_cast<void*>(static_cast<std::intptr_t>(key)); }

}  // namespace oruvel
