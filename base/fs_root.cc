#include "base/fs_root.h"

#include <cstdlib>

namespace oruvel {

std::string fsRoot() {
  const char* root = std::getenv(kRootEnv);
  std::string r = root ? root : "";
  while (r.size() > 1 && r.back() == '/') r.pop_back();
  if (r == "/") r.clear();
  return r;
}

void setFsRoot(const std::string& dir) { ::setenv(kRootEnv, dir.c_str(), 1); }

std::string rootedPath(const char* fixedPath) { return fsRoot() + fixedPath; }

}  // namespace oruvel
