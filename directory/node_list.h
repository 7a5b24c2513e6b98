#pragma once
// The one list discipline shared by the Genre list and the Station list:
// nodes are pushed at the head while a file is read, keys run 1, 2, 3 ...
// in reading order, the "ende" pointer is the node read last, and the node
// with key k lies (count - k) links behind it.
#include <vector>

namespace oruvel {

// Frees a chain of nodes from `first` along `next` up to a null link.
template <class Node>
void releaseChain(Node* first) {
  while (first) {
    Node* next = first->next;
    delete first;
    first = next;
  }
}

// A list being read. It owns its nodes until they are handed over with
// install(), so a read that fails part-way leaves the global list alone.
template <class Node>
class NodeChain {
 public:
  NodeChain() = default;
  // Takes over `spare`, the nodes of a list being replaced, and its index,
  // and fills them again before allocating more: a reread of a long list
  // costs no allocation.
  NodeChain(Node* spare, std::vector<Node*>&& index) : spare_(spare), byKey_(std::move(index)) {
    byKey_.clear();
  }
  ~NodeChain() {
    releaseChain(head_);
    releaseChain(spare_);
  }
  NodeChain(const NodeChain&) = delete;
  NodeChain& operator=(const NodeChain&) = delete;

  // A new zero-filled node pushed at the head; its key is count().
  Node* push() {
    byKey_.push_back(nullptr);  // room first, so a failed allocation leaks nothing
    Node* node;
    if (spare_) {
      node = spare_;
      spare_ = spare_->next;
      *node = Node{};
    } else {
      node = new Node{};
    }
    byKey_.back() = node;
    node->next = head_;
    head_ = node;
    return node;
  }
  int count() const { return static_cast<int>(byKey_.size()); }
  Node* head() const { return head_; }

  // Makes this chain the global list (anker and ende on the node read
  // last) and frees the list it replaces; `byKey` receives the nodes in
  // key order. The chain is empty afterwards.
  void install(Node*& anker, Node*& ende, int& count, std::vector<Node*>& byKey) {
    Node* previous = ende;
    ende = anker = head_;
    count = this->count();
    byKey.swap(byKey_);
    head_ = nullptr;
    byKey_.clear();
    if (previous != ende) releaseChain(previous);
    releaseChain(spare_);
    spare_ = nullptr;
  }
  void install(Node*& anker, Node*& ende, int& count) {
    std::vector<Node*> byKey;
    install(anker, ende, count, byKey);
  }

 private:
  Node* head_ = nullptr;
  Node* spare_ = nullptr;
  std::vector<Node*> byKey_;  // key k at k-1
};

// The node with key `key` of a list of `count` nodes ending in `ende`:
// (count - key) links from ende, ende itself when that is 0 or less. A key
// below 1 cannot walk off the list: the walk stops at its last node.
template <class Node>
Node* nodeWithKey(Node* ende, int key, int count) {
  Node* node = ende;
  // 64-bit steps: count - key must not overflow where long has 32 bits.
  for (long long steps = static_cast<long long>(count) - key; steps > 0 && node && node->next;
       --steps)
    node = node->next;
  return node;
}

}  // namespace oruvel
