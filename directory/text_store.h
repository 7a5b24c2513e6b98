#pragma once
// The texts of one list, each stored at its length with a NUL behind it,
// packed into shared blocks: a station's name takes the bytes it has, not
// the width the line buffer allows. A stored text never moves, so a node
// keeps a plain pointer to it.
#include <cstddef>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

namespace oruvel {

class TextStore {
 public:
  // The blocks grow from the first's size to kBlockBytes, so a short list
  // (the genres) takes little.
  static constexpr std::size_t kFirstBlockBytes = 1024;
  static constexpr std::size_t kGrowingBlocks = 4;  // 1, 2, 4 and 8 KB
  static constexpr std::size_t kBlockBytes = kFirstBlockBytes << kGrowingBlocks;

  TextStore() = default;
  TextStore(const TextStore&) = delete;
  TextStore& operator=(const TextStore&) = delete;

  // `text` cut to `limit` bytes (less than kBlockBytes), stored with a NUL
  // behind it. An empty text takes no room.
  const char* add(std::string_view text, std::size_t limit) {
    const std::size_t length = text.size() < limit ? text.size() : limit;
    if (length == 0) return "";
    std::memcpy(room(length + 1), text.data(), length);
    return keep(length);
  }

  // At least `bytes` writable bytes where the next text starts, for a
  // caller that writes the text (and perhaps bytes behind it) itself and
  // then keeps `length` bytes of it with keep(). `bytes` is at most
  // kBlockBytes.
  char* room(std::size_t bytes) {
    if (static_cast<std::size_t>(end_ - free_) < bytes) nextBlock(bytes);
    return free_;
  }
  // Keeps the `length` bytes written at room() as the next text, ends it
  // with a NUL and returns it; room() must have given at least length + 1.
  const char* keep(std::size_t length) {
    char* text = free_;
    text[length] = '\0';
    free_ += length + 1;
    return text;
  }

  // Forgets every text, keeping the blocks for the texts stored next.
  void clear() { enter(0); }
  // Forgets every text and frees the blocks.
  void release() {
    blocks_.clear();
    enter(0);
  }
  // Frees the blocks that the texts stored since clear() left unused.
  void trim() {
    const bool none = block_ == 0 && (blocks_.empty() || free_ == blocks_[0].get());
    blocks_.resize(none ? 0 : block_ + 1);
    if (none) enter(0);
  }

 private:
  static std::size_t blockBytes(std::size_t index) {
    return index < kGrowingBlocks ? kFirstBlockBytes << index : kBlockBytes;
  }
  // Moves on to the next block with room for `bytes`: the rest of the
  // current one stays unused.
  void nextBlock(std::size_t bytes);
  // Makes block `index`, when there is one, the block the next text goes into.
  void enter(std::size_t index) {
    block_ = index;
    free_ = end_ = nullptr;
    if (index < blocks_.size()) {
      free_ = blocks_[index].get();
      end_ = free_ + blockBytes(index);
    }
  }

  std::vector<std::unique_ptr<char[]>> blocks_;
  std::size_t block_ = 0;  // the block the next text goes into
  char* free_ = nullptr;   // where in it the next text goes
  char* end_ = nullptr;    // the block's end
};

}  // namespace oruvel
