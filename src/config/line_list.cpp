#include "config/line_list.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <new>
#include <utility>
#include <vector>

#include "config/config_file.h"
#include "config/directive_names.h"

namespace cfgout {

namespace {

// Changes to any list's structure, and cuts of chains made without the
// owning list knowing (after which no remembered last node can be trusted).
// The program runs one request on one thread; the counters are atomic only
// so that tests may build lists on several threads.
std::atomic<unsigned long long> g_edits{0};
std::atomic<unsigned long long> g_cuts{0};

void NoteEdit() noexcept { g_edits.fetch_add(1, std::memory_order_relaxed); }

}  // namespace

void LineList::NoteEdit() const noexcept {
  if (watched_) g_edits.fetch_add(1, std::memory_order_relaxed);
}

namespace {

void FreeChain(LineNode* node) noexcept {
  while (node != nullptr) {
    LineNode* next = node->next;
    delete node;
    node = next;
  }
}

LineNode* LastOf(LineNode* node) noexcept {
  if (node == nullptr) return nullptr;
  while (node->next != nullptr) node = node->next;
  return node;
}

// Links the chain first..last between `before` (may be null) and `after` (may be null).
void Splice(LineNode* before, LineNode* first, LineNode* last, LineNode* after) noexcept {
  first->prev = before;
  last->next = after;
  if (before != nullptr) before->next = first;
  if (after != nullptr) after->prev = last;
}

}  // namespace

#ifndef CFGOUT_PLAIN_LINE_NODES
// The node pool. Slots are carved from blocks of kNodesPerBlock nodes, and
// freed slots are kept on a list for the next node; both per thread, so
// that taking and giving back a slot is a few instructions without a lock
// (a slot freed on another thread than it was made on simply joins that
// thread's list). Blocks live as long as the process and stay listed in
// g_blocks, so that leak checkers see them as reachable.
namespace line_node_pool {

constinit thread_local Pool t_pool;

namespace {

union NodeSlot {
  NodeSlot* nextFree;
  alignas(LineNode) unsigned char bytes[sizeof(LineNode)];
};
static_assert(sizeof(NodeSlot) == sizeof(LineNode));

constexpr std::size_t kNodesPerBlock = 1024;
static_assert(sizeof(void*) != 8 || sizeof(LineNode) == 32, "a node is four words: the text, its mark and two links");

std::mutex g_blocksMutex;
std::vector<std::unique_ptr<NodeSlot[]>>* g_blocks = nullptr;  // never freed: nodes may outlive statics

}  // namespace

void* NewSlow(std::size_t size) {
  if (size != sizeof(LineNode)) return ::operator new(size);
  // Left uninitialised: a slot is written when it becomes a node.
  std::unique_ptr<NodeSlot[]> block(new NodeSlot[kNodesPerBlock]);
  NodeSlot* slots = block.get();
  {
    const std::lock_guard<std::mutex> lock(g_blocksMutex);
    if (g_blocks == nullptr) g_blocks = new std::vector<std::unique_ptr<NodeSlot[]>>;
    g_blocks->push_back(std::move(block));
  }
  // The first slot is the new node; the rest is carved later.
  t_pool.carve = reinterpret_cast<char*>(slots + 1);
  t_pool.carveEnd = reinterpret_cast<char*>(slots + kNodesPerBlock);
  return slots;
}

}  // namespace line_node_pool
#endif

unsigned long long LineListEditCount() noexcept { return g_edits.load(std::memory_order_relaxed); }

LineList& LineList::operator=(LineList&& other) noexcept {
  if (this != &other) {
    LineNode* tail = other.tail_;
    const unsigned long long cuts = other.tailCuts_;
    reset(other.release());
    tail_ = tail;
    tailCuts_ = cuts;
  }
  return *this;
}

LineList::~LineList() { FreeChain(head_); }

void LineList::reset(LineNode* adopt) noexcept {
  LineNode* old = head_;
  head_ = adopt;
  tail_ = nullptr;
  if (old != nullptr || adopt != nullptr) NoteEdit();
  FreeChain(old);
}

void LineList::set_first(LineNode* node) noexcept {
  head_ = node;
  if (node == nullptr) tail_ = nullptr;
  NoteEdit();
}

LineNode* LineList::last() const noexcept {
  if (head_ == nullptr) return nullptr;
  if (tail_ == nullptr || tailCuts_ != g_cuts.load(std::memory_order_relaxed)) {
    tail_ = head_;
    tailCuts_ = g_cuts.load(std::memory_order_relaxed);
  }
  // Lines linked in after the remembered last node are followed forward.
  while (tail_->next != nullptr) tail_ = tail_->next;
  return tail_;
}

std::size_t LineList::size() const noexcept {
  std::size_t n = 0;
  for (const LineNode* l = head_; l != nullptr; l = l->next) ++n;
  return n;
}

LineNode& LineList::Append(LineText text) {
  auto* node = new LineNode{std::move(text), nullptr, nullptr};
  LineNode* tail = last();
  if (tail == nullptr) {
    head_ = node;
    tailCuts_ = g_cuts.load(std::memory_order_relaxed);
  } else {
    tail->next = node;
    node->prev = tail;
  }
  tail_ = node;
  NoteEdit();
  return *node;
}

LineList LineList::FromTexts(std::initializer_list<std::string_view> texts) {
  LineList list;
  LineNode* tail = nullptr;
  for (std::string_view t : texts) {
    auto* node = new LineNode{LineText(t), nullptr, tail};
    if (tail == nullptr) list.head_ = node; else tail->next = node;
    tail = node;
  }
  return list;
}

LineList LinesNew(int n) {
  LineList list;
  if (n < 1) return list;
  LineNode* tail = new LineNode;
  list.reset(tail);
  for (int i = 1; i < n; ++i) {
    auto* node = new LineNode;
    node->prev = tail;
    tail->next = node;
    tail = node;
  }
  return list;
}

void LinesFree(LineList list) { list.reset(); }

void LinesFree(LineList& owner, LineNode* first) {
  if (first == nullptr) return;
  if (owner.first() == first) {
    owner.reset();
    return;
  }
  if (first->prev != nullptr) first->prev->next = nullptr;
  first->prev = nullptr;
  // The owner's remembered last node may be among the freed ones.
  g_cuts.fetch_add(1, std::memory_order_relaxed);
  owner.NoteEdit();
  FreeChain(first);
}

LineNode* LineEnd(LineNode* line) noexcept {
  if (line == nullptr) return nullptr;
  while (line->next != nullptr && line->next->continuation()) line = line->next;
  return line;
}

LineList LinesAdd(LineNode* after, LineList chain) {
  if (after == nullptr) return chain;
  NoteEdit();
  if (chain.empty()) {
    LineNode* rest = after->next;
    after->next = nullptr;
    if (rest != nullptr) rest->prev = nullptr;
    // The list `after` belongs to is not known here: no remembered last node
    // may be trusted any more.
    g_cuts.fetch_add(1, std::memory_order_relaxed);
    return LineList(rest);
  }
  after = LineEnd(after);
  LineNode* first = chain.release();
  Splice(after, first, LastOf(first), after->next);
  return LineList();
}

void LinesAddTop(ConfigFile& file, LineList chain) {
  if (chain.empty()) return;
  LineNode* first = chain.release();
  LineNode* old = file.lines.release();
  Splice(nullptr, first, LastOf(first), old);
  file.lines.reset(first);
}

LineList LineRemove(LineList& owner, LineNode* node) {
  if (node == nullptr) return LineList();
  owner.NoteEdit();
  if (owner.tail_ == node) owner.tail_ = node->prev;
  if (owner.first() == node) owner.set_first(node->next);
  if (node->prev != nullptr) node->prev->next = node->next;
  if (node->next != nullptr) node->next->prev = node->prev;
  node->next = nullptr;
  node->prev = nullptr;
  return LineList(node);
}

LineList LineRemoveWhole(LineList& owner, LineNode* line) {
  if (line == nullptr) return LineList();
  // The pieces first, from the last: each removal leaves the rest linked.
  LineList pieces;
  while (line->next != nullptr && line->next->continuation()) {
    LineList piece = LineRemove(owner, LineEnd(line));
    LineNode* node = piece.release();
    node->next = pieces.release();
    if (node->next != nullptr) node->next->prev = node;
    pieces.reset(node);
  }
  LineList whole = LineRemove(owner, line);
  if (LineNode* first = pieces.release()) {
    line->next = first;
    first->prev = line;
  }
  return whole;
}

void LineCopyData(LineNode& dst, const LineNode& src) {
  if (&dst == &src) {
    dst.next = dst.prev = nullptr;
    return;
  }
  dst.text = src.text;
  dst.set_continuation(src.continuation());
  dst.next = nullptr;
  dst.prev = nullptr;
}

LineList LinesCopy(const LineNode* first) {
  LineList list;
  LineNode* tail = nullptr;
  for (const LineNode* l = first; l != nullptr; l = l->next) {
    auto* node = new LineNode{l->text, nullptr, tail, l->continuation()};
    if (tail == nullptr) list.reset(node); else tail->next = node;
    tail = node;
  }
  return list;
}

LineNode* LinesAddStr(const char* match, ConfigHandle& config, std::string_view text, int where) {
  ConfigFile* mainFile = config.first();
  if (mainFile == nullptr) return nullptr;
  NoteEdit();
  auto node = std::make_unique<LineNode>();
  node->text.assign(text);
  if (mainFile->lines.empty()) {
    mainFile->lines.reset(node.release());
    return mainFile->lines.first();
  }
  // Walk the files in chain order; an empty file ends the walk.
  LineNode* lastWalked = nullptr;
  for (ConfigFile* file = mainFile; file != nullptr && !file->lines.empty(); file = file->next) {
    for (LineNode* line = file->lines.first(); line != nullptr; line = line->next) {
      lastWalked = line;
      if (match == nullptr || line->continuation() || stricmp(line->text.c_str(), match) != 0) continue;
      LineNode* added = node.release();
      if (where == 1) {
        if (line->prev == nullptr) {
          LineNode* old = file->lines.release();
          Splice(nullptr, added, added, old);
          file->lines.reset(added);
        } else {
          Splice(line->prev, added, added, line);
        }
        return added;
      }
      if (where == 2) {
        line = LineEnd(line);
        Splice(line, added, added, line->next);
        return added;
      }
      delete added;
      return nullptr;
    }
  }
  LineNode* added = node.release();
  Splice(lastWalked, added, added, lastWalked->next);
  return added;
}

}  // namespace cfgout
