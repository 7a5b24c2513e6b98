#include "host/estring.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

eString& eString::sprintf(const char* format, ...) {
  if (!format) {
    clear();
    return *this;
  }
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  char small[256];
  int needed = std::vsnprintf(small, sizeof small, format, args);
  va_end(args);
  if (needed < 0) {
    clear();
  } else if (static_cast<size_t>(needed) < sizeof small) {
    assign(small, static_cast<size_t>(needed));
  } else {
    std::vector<char> big(static_cast<size_t>(needed) + 1);
    std::vsnprintf(big.data(), big.size(), format, again);
    assign(big.data(), static_cast<size_t>(needed));
  }
  va_end(again);
  return *this;
}
