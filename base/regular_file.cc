#include "base/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace oruvel {

std::FILE* openRegularFile(const char* path, const char* mode) {
  int flags;
  if (std::strcmp(mode, "r") == 0) {
    flags = O_RDONLY;
  } else if (std::strcmp(mode, "r+") == 0) {
    flags = O_RDWR;
  } else if (std::strcmp(mode, "a+") == 0) {
    flags = O_RDWR | O_CREAT | O_APPEND;
  } else {
    errno = EINVAL;
    return nullptr;
  }
  int fd = ::open(path, flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0644);
  if (fd < 0) return nullptr;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    errno = EINVAL;
    return nullptr;
  }
  // Regular files never block; clear the flag so stdio sees an ordinary file.
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  std::FILE* file = ::fdopen(fd, mode);
  if (!file) {
    int saved = errno;
    ::close(fd);
    errno = saved;
  }
  return file;
}

}  // namespace oruvel
