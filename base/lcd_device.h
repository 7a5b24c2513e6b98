#pragma once
// The front-panel LCD device as the plug-in's LCD code reaches it: open,
// ioctl, write and close on /dev/dbox/lcd0. On the receiver these are the
// system's own calls. A host that emulates the panel (the desktop host)
// offers a table of its own through eLCDDeviceInstalled, and only the LCD
// code's calls go through it; every other descriptor of the process stays
// the kernel's.
#include <sys/types.h>

#include <cstddef>

struct eLCDDeviceCalls {
  int (*open)(const char* path, int flags);
  int (*ioctl)(int fd, unsigned long request, void* argument);
  ssize_t (*write)(int fd, const void* data, std::size_t size);
  int (*close)(int fd);
};

// The table the host installed, or null. The LCD code refers to it weakly,
// so that under a host without it the symbol is simply absent and the
// system's calls are made.
extern "C" __attribute__((visibility("default"))) const eLCDDeviceCalls* eLCDDeviceInstalled();
