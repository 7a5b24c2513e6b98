#pragma once
// The bitrate filter of the directory page (the typed which_bitrate): a
// station whose "br=" value is below the filter's number is dropped; the
// filter "0" is off; a station without "br=" passes.
#include <string_view>

#include "directory/directory_page.h"
#include "directory/line_values.h"

namespace oruvel {

class BitrateFilter {
 public:
  explicit BitrateFilter(std::string_view filter) : on_(filter != "0"), lowest_(leadingInteger(filter)) {}

  bool passes(const DirectoryKeys& keys) const {
    return !on_ || !keys.has(keys.kBitrate) || leadingInteger(keys.value(keys.kBitrate)) >= lowest_;
  }

 private:
  bool on_;
  long lowest_;
};

}  // namespace oruvel
