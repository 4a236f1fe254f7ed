#pragma once
// cfgctl: the command line over the proxy configuration store.
//
//   cfgctl [-f FILE] get KEYWORD            every occurrence, with file and line
//   cfgctl [-f FILE] set KEYWORD VALUE...   replace every occurrence (or append)
//   cfgctl [-f FILE] remove KEYWORD
//   cfgctl [-f FILE] list                   every directive with file:line
//   cfgctl [-f FILE] ldap|pics|app list|show NAME|put NAME [--field F=V]...|delete NAME
//   cfgctl [-f FILE] app settings [--field F=V]...
//
// It reads and writes the configuration exactly as the CGI program does: the
// same store (the main file and everything it includes), the same writer
// lock beside the main file, the same atomic write-back, and the same field
// validators where the pages have a field for a value. Exit status: 0 done,
// 1 a named thing does not exist, 2 usage error or rejected value, 3 a file
// cannot be read or written (or holds a broken block); on any error nothing
// is written and one line goes to standard error.

#include <cstdio>
#include <string>
#include <vector>

namespace cfgout::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitMissing = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitFile = 3;

// Runs one command line (without the program name). Standard output goes to
// `out`, the error line to `err`; `in` is read only when a command takes its
// fields from standard input.
int RunCfgctl(const std::vector<std::string>& args, std::FILE* in, std::string& out, std::string& err);

}  // namespace cfgout::cli
