// cfgout: the form-based configuration program, run once per request as a
// CGI program.
#include <cstdio>

#include "cgi/request.h"
#include "runtime/page_output.h"
#include "runtime/process_heap.h"

int main() {
  // Room for a large configuration, so that reading it touches few pages.
  cfgout::PrepareRequestHeap(std::size_t{16} << 20);
  const int status = cfgout::RunCgiRequest(stdin, cfgout::AfterRequest::kProcessEnds);
  cfgout::PageFlush();
  return status;
}
