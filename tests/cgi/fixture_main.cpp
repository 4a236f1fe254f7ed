// cfgout_fixture: the cfgout program with its message directory fixed at
// build time to the front-end tests' own small bundles, whose templates are
// marker lines that make every generated item easy to compare exactly.
#include <cstdio>

#include "cgi/request.h"
#include "nls/message_lookup.h"
#include "runtime/page_output.h"

int main() {
  cfgout::nlsSetMessageDirectory(CFGOUT_FIXTURE_MESSAGE_DIR);
  const int status = cfgout::RunCgiRequest(stdin);
  cfgout::PageFlush();
  return status;
}
