#pragma once
// Configuration lines held as doubly linked lists of LineNode.
//
// Usage:
//   LineList fresh = LinesNew(1);                  // one empty line, owned here
//   fresh.first()->text = "Port       80\n";
//   HTTPDReplaceRules(cfg, HTTPDRuleToID("port"), std::move(fresh), 0);
//
//   LineList found = HTTPDGetRules(cfg, id);       // copies, owned by the caller
//   for (LineNode& line : found) use(line.text);
//
// Ownership is carried by LineList (a move-only owner of a whole chain) and
// by the file records of a ConfigHandle, whose `lines` member is a LineList.
// The prev/next links are plain pointers inside one owner's chain; a node is
// freed exactly once, by the owner of the chain it belongs to. Functions that
// take a LineList by value take the nodes over; functions that return one
// hand the nodes to the caller.

#include <cstddef>
#include <initializer_list>
#include <iterator>
#include <string>
#include <string_view>
#include <utility>

#include "config/line_text.h"

namespace cfgout {

struct ConfigFile;
class ConfigHandle;

// One configuration line. `text` holds the line exactly as read, including
// its terminator ("\n", or "\r\n") when it had one; lines built by pages end
// in "\n". An empty text writes nothing, so emptying a line deletes it from
// its file on the next write.
//
// A line longer than the reader takes at once is kept as several nodes: the
// first holds its start, each further piece has `continuation` set. A
// continuation piece is never a directive or an include of its own, and
// whatever removes or inserts lines treats a line and its pieces as one.
//
// Nodes made with new come from a pool of node-sized slots (a configuration
// has tens of thousands of them, and a request makes and frees them all);
// `new LineNode` and `delete node` are used as for any type. Address-checking
// builds leave the nodes on the ordinary heap, where every one stays checked:
// the build defines CFGOUT_PLAIN_LINE_NODES for every file alike (a choice
// made per file, by its own compiler flags, would let two files disagree on
// whether the pool exists).

struct LineNode {
  LineNode() = default;
  LineNode(LineText t, LineNode* n, LineNode* p, bool continues = false) noexcept
      : text(std::move(t)), next(n), prev(p) {
    set_continuation(continues);
  }
  LineNode(const LineNode& other) noexcept : text(other.text), next(other.next), prev(other.prev) {
    set_continuation(other.continuation());
  }
  LineNode& operator=(const LineNode& other) noexcept {
    text = other.text;
    next = other.next;
    prev = other.prev;
    set_continuation(other.continuation());
    return *this;
  }

  LineText text;
  LineNode* next = nullptr;
  LineNode* prev = nullptr;

  // Kept in a spare bit of the text: a configuration has tens of thousands
  // of nodes, and four words each instead of five is memory every request
  // touches.
  bool continuation() const noexcept { return text.mark(); }
  void set_continuation(bool continues) noexcept { text.set_mark(continues); }

#ifndef CFGOUT_PLAIN_LINE_NODES
  static void* operator new(std::size_t size);
  static void operator delete(void* node, std::size_t size) noexcept;
#endif
};

#ifndef CFGOUT_PLAIN_LINE_NODES
namespace line_node_pool {
// The calling thread's pool of node slots (line_list.cpp): freed slots
// linked through their first word, and the unused rest of the newest block.
struct Pool {
  void* free = nullptr;
  char* carve = nullptr;
  char* carveEnd = nullptr;
};
extern constinit thread_local Pool t_pool;
// A slot from a new block, or a block of another size from the heap.
void* NewSlow(std::size_t size);
}  // namespace line_node_pool

// Inline: the reader makes a node for every line of every file.
inline void* LineNode::operator new(std::size_t size) {
  line_node_pool::Pool& pool = line_node_pool::t_pool;
  if (size == sizeof(LineNode)) {
    if (void* slot = pool.free) {
      pool.free = *static_cast<void**>(slot);
      return slot;
    }
    if (pool.carve != pool.carveEnd) {
      void* slot = pool.carve;
      pool.carve += sizeof(LineNode);
      return slot;
    }
  }
  return line_node_pool::NewSlow(size);
}

inline void LineNode::operator delete(void* node, std::size_t size) noexcept {
  if (node == nullptr) return;
  if (size != sizeof(LineNode)) {
    ::operator delete(node);
    return;
  }
  line_node_pool::Pool& pool = line_node_pool::t_pool;
  *static_cast<void**>(node) = pool.free;
  pool.free = node;
}
#endif

// `line` itself when no continuation piece follows it, else the last piece
// of the line it starts. Null gives null.
LineNode* LineEnd(LineNode* line) noexcept;

// Owner of a chain of LineNodes (first node, linked through next/prev).
class LineList {
 public:
  class iterator {
   public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = LineNode;
    using difference_type = std::ptrdiff_t;
    using pointer = LineNode*;
    using reference = LineNode&;
    iterator() = default;
    explicit iterator(LineNode* node) : node_(node) {}
    reference operator*() const { return *node_; }
    pointer operator->() const { return node_; }
    iterator& operator++() { node_ = node_->next; return *this; }
    iterator operator++(int) { iterator old = *this; node_ = node_->next; return old; }
    bool operator==(const iterator&) const = default;
   private:
    LineNode* node_ = nullptr;
  };

  LineList() = default;
  // Adopts a detached chain (its first node must have no predecessor).
  explicit LineList(LineNode* adopt) noexcept : head_(adopt) {}
  LineList(const LineList&) = delete;
  LineList& operator=(const LineList&) = delete;
  LineList(LineList&& other) noexcept : head_(other.head_), tail_(other.tail_), tailCuts_(other.tailCuts_) {
    other.head_ = nullptr;
    other.tail_ = nullptr;
  }
  LineList& operator=(LineList&& other) noexcept;
  ~LineList();

  // A list with one node per text, in order.
  static LineList FromTexts(std::initializer_list<std::string_view> texts);

  LineNode* first() const noexcept { return head_; }
  // The last node. Amortised O(1): the list remembers its last node and
  // follows it forward when lines were linked in after it.
  LineNode* last() const noexcept;
  bool empty() const noexcept { return head_ == nullptr; }
  explicit operator bool() const noexcept { return head_ != nullptr; }
  std::size_t size() const noexcept;        // walks the chain

  // Appends a node holding `text` and returns it; amortised O(1).
  LineNode& Append(LineText text);

  // Gives up ownership: the caller is responsible for the chain.
  LineNode* release() noexcept {
    LineNode* h = head_;
    head_ = nullptr;
    tail_ = nullptr;
    return h;
  }
  // Frees the current chain and adopts `adopt` (may be null).
  void reset(LineNode* adopt = nullptr) noexcept;
  // Makes `node` (a node of this chain, or null) the new first node without
  // freeing anything before it; used when the first line has been unlinked.
  void set_first(LineNode* node) noexcept;

  // Marks the list as a configuration file's own: changes to it move
  // LineListEditCount(). Set by the configuration handle; kept by moves into
  // the list, not carried by moves out of it.
  void watch() noexcept { watched_ = true; }
  bool watched() const noexcept { return watched_; }

  iterator begin() const { return iterator(head_); }
  iterator end() const { return iterator(); }

 private:
  friend LineList LineRemove(LineList& owner, LineNode* node);
  friend void LinesFree(LineList& owner, LineNode* first);

  void NoteEdit() const noexcept;

  LineNode* head_ = nullptr;
  bool watched_ = false;
  // The last node as last seen, valid while no chain was cut anywhere since
  // (tailCuts_ == the global count of cuts); null when unknown.
  mutable LineNode* tail_ = nullptr;
  mutable unsigned long long tailCuts_ = 0;
};

// A count that grows with every change to the structure of a configuration
// file's line list (lines linked in, unlinked or freed, its chain replaced;
// LinesAdd counts whatever list it links into). Whoever remembers where
// configuration lines stand may rely on that while the count has not moved.
unsigned long long LineListEditCount() noexcept;

// A chain of `n` empty nodes linked both ways; an empty list when n < 1.
LineList LinesNew(int n);

// Frees the whole list.
void LinesFree(LineList list);
// Detaches `first` from its predecessor and frees it and every node after it.
// `first` must belong to `owner`; when it is owner's first node the owner
// becomes empty. A null `first` does nothing.
void LinesFree(LineList& owner, LineNode* first);

// Inserts the whole chain right after `after` (after the last continuation
// piece of the line `after` starts, so that no line is split); the nodes
// become part of whatever list `after` belongs to. Returns the nodes that were not linked:
// with an empty chain, the nodes after `after` are cut off and handed back
// (freed when the result is dropped); with a null `after`, the chain itself.
LineList LinesAdd(LineNode* after, LineList chain);

// Puts the chain before the file's first line; its first node becomes the
// file's first line. An empty chain changes nothing.
void LinesAddTop(ConfigFile& file, LineList chain);

// Unlinks `node` from `owner` (its neighbours are joined, and when it was the
// first node the owner starts at the next one) and returns it as a list of
// its own. A null node gives an empty list.
LineList LineRemove(LineList& owner, LineNode* node);

// Unlinks the line `line` starts together with the continuation pieces that
// follow it, and returns them as a list of their own: removing a line this
// way never leaves a piece behind to be written as a line of its own. A
// null line gives an empty list.
LineList LineRemoveWhole(LineList& owner, LineNode* line);

// Copies the text of `src` into `dst` and clears `dst`'s links. `dst` must
// not be linked into a list.
void LineCopyData(LineNode& dst, const LineNode& src);

// A new list holding a copy of every node from `first` to the end.
LineList LinesCopy(const LineNode* first);

// Creates a line holding `text` and links it into the configuration: before
// (`where` 1) or after (`where` 2) the first line, walking the files in chain
// order, whose whole text equals `match` ignoring case; appended after the
// last line walked when `match` is null or nothing matches. When the main
// file has no lines the new line becomes its only line. Returns the new node
// (owned by the configuration), or null when `where` was neither 1 nor 2 at
// a matching line (nothing is linked then).
LineNode* LinesAddStr(const char* match, ConfigHandle& config, std::string_view text, int where);

}  // namespace cfgout
