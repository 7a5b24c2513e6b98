#include "base/directory_host.h"

#include <cstdlib>

#ifndef ORUVEL_DIRECTORY_HOST_DEFAULT
#define ORUVEL_DIRECTORY_HOST_DEFAULT "localhost:8370"
#endif

namespace oruvel {

std::string directoryHost() {
  const char* env = std::getenv(kDirectoryEnv);
  if (env && *env) return env;
  return ORUVEL_DIRECTORY_HOST_DEFAULT;
}

}  // namespace oruvel
