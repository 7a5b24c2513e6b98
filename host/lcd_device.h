#pragma once
// The host's side of the front-panel LCD device: a host that emulates the
// panel installs its own device calls (base/lcd_device.h), which the
// plug-in's LCD code then makes instead of the system's.
#include "base/lcd_device.h"
#include "host/host_api.h"

// Makes `calls` the device calls from now on; null gives the device back
// to the system. Not owned: the table must outlive its use.
HOST_API void eLCDDeviceInstall(const eLCDDeviceCalls* calls);
