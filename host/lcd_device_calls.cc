// The device calls of the emulated LCD. The plug-in drives the panel with
// ioctl and write on the descriptor of its device node; these definitions
// come before the C library's in symbol lookup (this library is linked
// into the host program), answer for the panel's node and hand every other
// descriptor to the kernel unchanged.
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdarg>

#include "host/host_api.h"
#include "host/lcd_panel.h"

extern "C" HOST_API int ioctl(int fd, unsigned long request, ...) {
  va_list args;
  va_start(args, request);
  void* argument = va_arg(args, void*);
  va_end(args);
  if (LcdPanel::isPanelDescriptor(fd)) return LcdPanel::answerRequest(request, argument);
  return static_cast<int>(::syscall(SYS_ioctl, fd, request, argument));
}

extern "C" HOST_API ssize_t write(int fd, const void* data, size_t size) {
  if (LcdPanel::isPanelDescriptor(fd)) return LcdPanel::takeWrite(fd, data, size);
  return ::syscall(SYS_write, fd, data, size);
}
