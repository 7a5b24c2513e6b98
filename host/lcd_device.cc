#include "host/lcd_device.h"

#include <atomic>

namespace {
std::atomic<const eLCDDeviceCalls*> installed{nullptr};
}

void eLCDDeviceInstall(const eLCDDeviceCalls* calls) { installed.store(calls); }

const eLCDDeviceCalls* eLCDDeviceInstalled() { return installed.load(); }
