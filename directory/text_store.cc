#include "directory/text_store.h"

namespace oruvel {

void TextStore::nextBlock() {
  const std::size_t next = free_ ? block_ + 1 : block_;
  if (next == blocks_.size()) blocks_.emplace_back(new char[kBlockBytes]);
  enter(next);
}

}  // namespace oruvel
