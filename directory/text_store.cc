#include "directory/text_store.h"

namespace oruvel {

void TextStore::nextBlock(std::size_t bytes) {
  std::size_t next = free_ ? block_ + 1 : block_;
  while (next < kGrowingBlocks && blockBytes(next) < bytes) ++next;  // one too small is passed by, left empty
  while (blocks_.size() <= next) blocks_.emplace_back(new char[blockBytes(blocks_.size())]);
  enter(next);
}

}  // namespace oruvel
