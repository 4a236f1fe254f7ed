#pragma once
// One CGI request, from the environment to the finished page.

#include <cstdio>
#include <string>
#include <string_view>

namespace cfgout {

// What becomes of the configuration read for a request once its page is
// written: freed, or, when the process ends right after the request, left
// for the process's end (tens of thousands of lines freed one by one would
// only delay the end of the response). It stays reachable either way.
enum class AfterRequest { kRelease, kProcessEnds };

// Handles the request described by the CGI environment, reading a posted
// body from `body`, and writes the CGI header and the page through the page
// output. Returns the process exit status: 1 for a POST without
// CONTENT_LENGTH, 0 otherwise. The caller flushes the page output.
int RunCgiRequest(std::FILE* body, AfterRequest after = AfterRequest::kRelease);

// The page name a PATH_INFO value selects: the text after its last "/"; when
// it holds no "/", the text after its last "\"; when it holds neither, the
// default page "QTX_INTRO".
std::string PageNameFromPathInfo(std::string_view pathInfo);

}  // namespace cfgout
