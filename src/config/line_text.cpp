#include "config/line_text.h"

#include <algorithm>
#include <new>
#include <ostream>
#include <stdexcept>

namespace cfgout {

namespace {

// Offsets and sizes are kept in 32 bits, the offset's top bit being the
// holder's mark; no block is made larger.
constexpr std::size_t kMaxBlockBytes = std::size_t{1} << 30;
#ifndef CFGOUT_PLAIN_LINE_NODES
// A block started because the expected size was exceeded.
constexpr std::size_t kSpareBlockBytes = std::size_t{64} << 10;
#endif

}  // namespace

void LineText::FreeBlock(Block* block) noexcept {
  block->~Block();
  ::operator delete(static_cast<void*>(block));
}

void LineText::Set(std::string_view text) {
  if (text.empty()) return;
  if (text.size() > kMaxBlockBytes - kBlockHeader - 1) throw std::length_error("configuration line too long");
  void* raw = ::operator new(kBlockHeader + text.size() + 1);
  new (raw) Block{1};
  char* bytes = static_cast<char*>(raw) + kBlockHeader;
  std::char_traits<char>::copy(bytes, text.data(), text.size());
  bytes[text.size()] = '\0';
  data_ = bytes;
  size_ = static_cast<std::uint32_t>(text.size());
  offset_ = static_cast<std::uint32_t>(kBlockHeader) | (offset_ & kMark);
}

LineText& LineText::assign(std::string_view text) {
  LineText fresh(text);  // before the old block goes: `text` may lie in it
  swap(fresh);
  return *this;
}

LineText& LineText::append(std::string_view more) {
  if (more.empty()) return *this;
  std::string joined;
  joined.reserve(size_ + more.size());
  joined.append(data_, size_).append(more);
  return assign(joined);
}

std::string operator+(const LineText& a, const LineText& b) { return a + b.view(); }

std::string operator+(const LineText& a, std::string_view b) {
  std::string joined(a.view());
  joined += b;
  return joined;
}

std::string operator+(std::string_view a, const LineText& b) {
  std::string joined(a);
  joined += b.view();
  return joined;
}

std::ostream& operator<<(std::ostream& out, const LineText& text) { return out << text.view(); }

LineTextBuilder::LineTextBuilder(std::size_t expected)
    // Room for the NUL after each text, for lines of 32 bytes on average:
    // more short lines than that take a further block. (Room that is never
    // written costs address space, but where huge pages back the heap,
    // everything up to the next block is cleared with it.)
    : remaining_(std::min(expected + expected / 32 + 64, kMaxBlockBytes)) {}

LineTextBuilder::~LineTextBuilder() {
  if (block_ != nullptr && --block_->texts == 0) LineText::FreeBlock(block_);
}

void LineTextBuilder::NewBlock(std::size_t capacity) {
  void* raw = ::operator new(LineText::kBlockHeader + capacity);
  auto* block = new (raw) LineText::Block{1};
  char* bytes = static_cast<char*>(raw) + LineText::kBlockHeader;
  const std::size_t open = open_size();
  if (open > 0) std::char_traits<char>::copy(bytes, open_, open);
  if (block_ != nullptr && --block_->texts == 0) LineText::FreeBlock(block_);
  block_ = block;
  open_ = bytes;
  cursor_ = bytes + open;
  end_ = bytes + capacity;
}

void LineTextBuilder::Grow(std::size_t n) {
  const std::size_t needed = open_size() + n + 1;
  if (needed > kMaxBlockBytes - LineText::kBlockHeader) throw std::length_error("configuration line too long");
#ifdef CFGOUT_PLAIN_LINE_NODES
  // Every text gets a block of its own (see Close); this one only
  // gathers the open text.
  NewBlock(std::max(needed, std::size_t{2048}));
#else
  NewBlock(std::max(needed, remaining_ > 0 ? remaining_ : kSpareBlockBytes));
  remaining_ = 0;
#endif
}

}  // namespace cfgout
