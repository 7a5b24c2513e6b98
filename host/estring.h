#pragma once
// The host's string class: std::string with the formatting the GUI uses.
#include <string>

#include "host/host_api.h"

class HOST_API eString : public std::string {
 public:
  eString() = default;
  eString(const char* s) : std::string(s ? s : "") {}
  eString(const std::string& s) : std::string(s) {}
  eString(std::string&& s) : std::string(std::move(s)) {}
  eString(const char* s, size_type n) : std::string(s, n) {}

  // Formats into this string (replacing its content) and returns it, as
  // eString().sprintf("(%i) %s", row, name). The result is never cut.
  eString& sprintf(const char* format, ...) __attribute__((format(printf, 2, 3)));
};
