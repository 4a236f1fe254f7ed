// cfgout: the form-based configuration program, run once per request as a
// CGI program.
#include <cstdio>

#include "cgi/request.h"
#include "runtime/page_output.h"

int main() {
  const int status = cfgout::RunCgiRequest(stdin);
  cfgout::PageFlush();
  return status;
}
