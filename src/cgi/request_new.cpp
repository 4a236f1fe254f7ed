// The CGI program's operator new and delete: blocks of up to
// kSmallBlockMax bytes come from the small-block pool (runtime/small_blocks.h),
// larger ones from the general heap. A request makes and frees tens of
// thousands of small blocks (a text per configuration line, the cells of
// every table row), and this halves what a whole request costs. Only the
// program uses it; the libraries, tests and fuzzers keep the standard
// operators, and so does an address-checking build of the program.
#include <cstdlib>
#include <new>

#include "runtime/small_blocks.h"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define CFGOUT_STANDARD_NEW 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(memory_sanitizer) || __has_feature(thread_sanitizer)
#define CFGOUT_STANDARD_NEW 1
#endif
#endif

#ifndef CFGOUT_STANDARD_NEW

void* operator new(std::size_t size) {
  if (void* block = cfgout::SmallBlockAllocate(size)) return block;
  // The general heap, failing as the standard operator does.
  for (;;) {
    if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
    std::new_handler handler = std::get_new_handler();
    if (handler == nullptr) throw std::bad_alloc();
    handler();
  }
}

void* operator new[](std::size_t size) { return ::operator new(size); }

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return ::operator new(size);
  } catch (...) {
    return nullptr;
  }
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return ::operator new(size, std::nothrow);
}

void operator delete(void* block) noexcept {
  if (!cfgout::SmallBlockRelease(block)) std::free(block);
}

void operator delete[](void* block) noexcept { ::operator delete(block); }
void operator delete(void* block, std::size_t) noexcept { ::operator delete(block); }
void operator delete[](void* block, std::size_t) noexcept { ::operator delete(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { ::operator delete(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { ::operator delete(block); }

#endif
