// cfgout_fixture: the cfgout program with its message directory fixed at
// build time to the front-end tests' own small bundles (and its programs to
// the build's own password tool and server stand-in), whose templates are
// marker lines that make every generated item easy to compare exactly.
#include <cstdio>

#include "cgi/request.h"
#include "nls/message_lookup.h"
#include "pages/external_programs.h"
#include "runtime/page_output.h"

int main() {
  cfgout::nlsSetMessageDirectory(CFGOUT_FIXTURE_MESSAGE_DIR);
  // The build's own password tool and server stand-in, wherever the
  // installed paths point.
  cfgout::SetPasswordToolPath(CFGOUT_FIXTURE_PASSWORD_TOOL);
  cfgout::SetServerExecutablePath(CFGOUT_FIXTURE_SERVER);
  const int status = cfgout::RunCgiRequest(stdin);
  cfgout::PageFlush();
  return status;
}
