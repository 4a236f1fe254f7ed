#include "runtime/page_output.h"

#include <cstdio>
#include <cstdlib>

namespace cfgout {

namespace {

constexpr std::size_t kFlushThreshold = 64 * 1024;

PageCapture* g_capture = nullptr;

// Never destroyed: the flush registered with atexit runs after static
// destructors registered later, and must still find the buffer alive.
std::string& Pending() {
  static std::string* pending = new std::string;
  return *pending;
}

void WritePending() {
  std::string& pending = Pending();
  std::size_t written = 0;
  while (written < pending.size()) {
    std::size_t n = std::fwrite(pending.data() + written, 1, pending.size() - written, stdout);
    if (n == 0) break;  // stdout is gone; nothing more can be shown
    written += n;
  }
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
  pending.append(text);
  if (pending.size() >= kFlushThreshold) WritePending();
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
