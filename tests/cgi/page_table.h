#pragma once
// One table row per request of cfgout_fixture (marker-line templates, "T<n>"
// catalogue texts under tests/cgi/bundles), with the files it must leave.

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cgi/cgi_runner.h"

namespace cfgout::testing {

constexpr std::string_view kHeader = "Content-type: text/html\nPragma: no-cache\n\n";

struct PageRow {
  std::string what;
  std::string main;  // "@INC@" stands for the path of the second file, `inc`
  std::string inc;
  std::optional<std::string> body = {};                      // none: a GET
  std::optional<std::string> mainAfter = {}, incAfter = {};  // none: the same bytes
  // Each stands in the page from the start of a line; one starting with
  // kHeader is the whole output.
  std::vector<std::string> shown = {};
  std::string package = "3";
};

// Runs every row against `page` and checks: exit status 0, nothing on
// standard error, both files byte for byte (not even rewritten by a GET or
// a request whose status is "ready" or an error), every piece shown, no
// raw "<script>".
void RunPageRows(std::string_view page, const std::vector<PageRow>& rows);

// The fixture's status block; the help and topic lines only when given.
std::string Status(std::string_view text, std::string_view type, std::string_view help = {},
                   std::string_view topic = {});

std::string Replace(std::string text, std::string_view from, std::string_view to);

// The rest of the page's first line "<key>=...".
std::string Line(const std::string& page, std::string_view key);

// The file's inode number (0 when it is missing): a rewrite makes a new one.
ino_t Inode(const std::string& path);

// A request of the fixture for `page` (GET when `body` is none).
CgiResult RunFixture(const CgiEnvironment& base, std::string_view page, const std::optional<std::string>& body);

}  // namespace cfgout::testing
