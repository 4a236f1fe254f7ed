#pragma once
// Unified diffs of whole files, for cfgctl --dry-run.
//
// Usage:
//   std::string out;
//   AppendUnifiedDiff(out, "Port 80\n", "Port 8080\n", "proxy.conf");
//   // --- proxy.conf\n+++ proxy.conf\n@@ -1 +1 @@\n-Port 80\n+Port 8080\n

#include <string>
#include <string_view>

namespace cfgout::cli {

// Appends the diff that turns `before` into `after` (lines compared byte for
// byte, three lines of context, "\ No newline at end of file" where a side
// ends without a line feed), headed "--- name" and "+++ name". Nothing when
// the two are equal.
void AppendUnifiedDiff(std::string& out, std::string_view before, std::string_view after, std::string_view name);

}  // namespace cfgout::cli
