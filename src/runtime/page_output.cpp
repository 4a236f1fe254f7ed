#include "runtime/page_output.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "runtime/file_bytes.h"

namespace cfgout {

namespace {

PageCapture* g_capture = nullptr;

// Never destroyed: the flush registered with atexit runs after static
// destructors registered later, and must still find the buffer alive.
std::string& Pending() {
  static std::string* pending = new std::string;
  return *pending;
}

// Straight to the descriptor: the text is already buffered here, and a
// stdio buffer allocated when the page ends, after the configuration's
// lines were freed, would make the allocator merge every freed line first.
// Nothing else in the program writes to standard output; when it is gone,
// nothing more can be shown, so a failed write is not reported.
void WriteAll(std::string_view text) { (void)WriteAllBytes(STDOUT_FILENO, text); }

void WritePending() {
  std::string& pending = Pending();
  WriteAll(pending);
  pending.clear();
}

struct FlushAtExit {
  FlushAtExit() { std::atexit([] { PageFlush(); }); }
};

}  // namespace

void PageWrite(std::string_view text) {
  if (g_capture != nullptr) {
    g_capture->Append(text);
    return;
  }
  static FlushAtExit flush_at_exit;
  std::string& pending = Pending();
  // The buffer keeps one size for the whole page: a request's memory is
  // touched for the first time, page by page, and a buffer grown to hold a
  // long table would touch a new block at every doubling.
  if (pending.capacity() < kPageBufferBytes) pending.reserve(kPageBufferBytes);
  if (pending.size() + text.size() > kPageBufferBytes) {
    WritePending();
    if (text.size() >= kPageBufferBytes) {
      WriteAll(text);  // already one piece: no copy
      return;
    }
  }
  pending.append(text);
}

void PageFlush() {
  WritePending();
  std::fflush(stdout);
}

PageCapture::PageCapture() : outer_(g_capture) { g_capture = this; }

PageCapture::~PageCapture() { g_capture = outer_; }

std::string PageCapture::Take() {
  std::string taken;
  taken.swap(text_);
  return taken;
}

}  // namespace cfgout
