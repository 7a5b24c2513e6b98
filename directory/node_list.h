#pragma once
// The one list discipline shared by the Genre list and the Station list:
// nodes are pushed at the head while a file is read, keys run 1, 2, 3 ...
// in reading order, the "ende" pointer is the node read last, and the node
// with key k lies (count - k) links behind it. Beside the links each list
// keeps its nodes in key order, so a lookup by key takes no walk.
#include <cstddef>
#include <memory>
#include <vector>

namespace oruvel {

// The nodes of one list. They live in blocks of kBlockNodes, which the next
// reading fills again, so a long list costs one allocation per block rather
// than one per node, and a reread of it none.
template <class Node>
class NodeList {
 public:
  NodeList() = default;
  NodeList(const NodeList&) = delete;
  NodeList& operator=(const NodeList&) = delete;

  // Empties the list, keeping its blocks for the nodes read next.
  void clear() { byKey_.clear(); }
  // Empties the list and frees its blocks.
  void release() {
    std::vector<Node*>().swap(byKey_);
    blocks_.clear();
  }
  // Frees the blocks that the list read last left unused.
  void trim() { blocks_.resize((byKey_.size() + kBlockNodes - 1) / kBlockNodes); }

  // A node with the next key, linked in front of the head. Its link is
  // set; its fields are left to the reader, which sets every one.
  Node* push() {
    const std::size_t index = byKey_.size();
    if (index / kBlockNodes == blocks_.size())
      blocks_.push_back(std::unique_ptr<Node[]>(new Node[kBlockNodes]));
    Node* node = &blocks_[index / kBlockNodes][index % kBlockNodes];
    node->next = head();
    byKey_.push_back(node);
    return node;
  }

  int count() const { return static_cast<int>(byKey_.size()); }
  // The node read last (the list's first link), null when empty.
  Node* head() const { return byKey_.empty() ? nullptr : byKey_.back(); }
  // The nodes in key order: key k at k-1.
  const std::vector<Node*>& byKey() const { return byKey_; }

  // The node with key `key` for a caller that counts `count` nodes, that
  // is (count - key) links behind the head: the head when that is 0 links
  // or less, key 1 (the end of the links) when it is as far or farther;
  // null when the list is empty.
  Node* withKey(int key, int count) const {
    if (byKey_.empty()) return nullptr;
    const long long last = static_cast<long long>(byKey_.size()) - 1;  // links from head to key 1
    // 64-bit: count - key must not overflow where int and long have 32 bits.
    const long long links = static_cast<long long>(count) - key;
    if (links <= 0) return byKey_.back();
    if (links >= last) return byKey_.front();
    return byKey_[static_cast<std::size_t>(last - links)];
  }

 private:
  static constexpr std::size_t kBlockNodes = 64;
  std::vector<std::unique_ptr<Node[]>> blocks_;
  std::vector<Node*> byKey_;
};

}  // namespace oruvel
