// cfgout: the form-based configuration program, run once per request as a
// CGI program.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include "cgi/request.h"
#include "runtime/page_output.h"
#include "runtime/process_heap.h"

int main() {
  // A page of several hundred kilobytes goes out through the web server's
  // pipe: room for all of it lets the program finish without waiting for
  // the server to read each part (where the pipe's size may be raised; on
  // anything but a pipe the call simply fails).
  (void)::fcntl(STDOUT_FILENO, F_SETPIPE_SZ, 1 << 20);
  // Room for a large configuration, so that reading it touches few pages.
  cfgout::PrepareRequestHeap(std::size_t{16} << 20);
  const int status = cfgout::RunCgiRequest(stdin, cfgout::AfterRequest::kProcessEnds);
  cfgout::PageFlush();
  return status;
}
