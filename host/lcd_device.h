#pragma once
// The front-panel LCD device as the plug-in's LCD code reaches it: open,
// ioctl, write and close on /dev/dbox/lcd0. On the receiver these are the
// system's own calls. A host that emulates the panel (the desktop host)
// installs a table of its own, and only the LCD code's calls go through
// it; every other descriptor of the process stays the kernel's.
#include <sys/types.h>

#include <cstddef>

#include "host/host_api.h"

struct eLCDDeviceCalls {
  int (*open)(const char* path, int flags);
  int (*ioctl)(int fd, unsigned long request, void* argument);
  ssize_t (*write)(int fd, const void* data, std::size_t size);
  int (*close)(int fd);
};

// Makes `calls` the device calls from now on; null gives the device back
// to the system. Not owned: the table must outlive its use.
HOST_API void eLCDDeviceInstall(const eLCDDeviceCalls* calls);

// The installed table, or null. The plug-in refers to it weakly (#pragma
// weak), so that under a host without it, like the receiver's, the symbol
// is simply absent and the system's calls are made.
extern "C" HOST_API const eLCDDeviceCalls* eLCDDeviceInstalled();
