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
  ~NodeChain() { releaseChain(head_); }
  NodeChain(const NodeChain&) = delete;
  NodeChain& operator=(const NodeChain&) = delete;

  // A new zero-filled node pushed at the head; its key is count().
  Node* push() {
    Node* node = new Node{};
    node->next = head_;
    head_ = node;
    ++count_;
    return node;
  }
  int count() const { return count_; }
  Node* head() const { return head_; }

  // Makes this chain the global list (anker and ende on the node read
  // last) and frees the list it replaces. The chain is empty afterwards.
  void install(Node*& anker, Node*& ende, int& count) {
    Node* previous = ende;
    ende = anker = head_;
    count = count_;
    head_ = nullptr;
    count_ = 0;
    if (previous != ende) releaseChain(previous);
  }

 private:
  Node* head_ = nullptr;
  int count_ = 0;
};

// The node with key `key` of a list of `count` nodes ending in `ende`:
// (count - key) links from ende, ende itself when that is 0 or less. A key
// below 1 cannot walk off the list: the walk stops at its last node.
template <class Node>
Node* nodeWithKey(Node* ende, int key, int count) {
  Node* node = ende;
  for (long steps = static_cast<long>(count) - key; steps > 0 && node && node->next; --steps)
    node = node->next;
  return node;
}

// The nodes of the list in key order (key 1 first), in one walk.
template <class Node>
std::vector<Node*> nodesInKeyOrder(Node* ende, int count) {
  std::vector<Node*> nodes;
  if (count <= 0) return nodes;
  nodes.reserve(static_cast<std::size_t>(count));
  for (Node* node = ende; node && static_cast<int>(nodes.size()) < count; node = node->next)
    nodes.push_back(node);
  return std::vector<Node*>(nodes.rbegin(), nodes.rend());
}

}  // namespace oruvel
