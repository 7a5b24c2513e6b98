#include "directory/text_store.h"

#include <cstring>

namespace oruvel {

const char* TextStore::add(std::string_view text, std::size_t limit) {
  const std::size_t length = text.size() < limit ? text.size() : limit;
  if (length == 0) return "";
  char* at = room(length + 1);
  std::memcpy(at, text.data(), length);
  return keep(length);
}

void TextStore::nextBlock() {
  if (!blocks_.empty()) {
    ++block_;
    used_ = 0;
  }
  if (block_ == blocks_.size()) blocks_.emplace_back(new char[kBlockBytes]);
}

}  // namespace oruvel
