#pragma once
// Runs a CGI program as the web server would: a fresh process with exactly
// the given environment, the body on its standard input, and its standard
// output and error collected.

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace cfgout::testing {

struct CgiResult {
  int exitStatus = -1;  // exit status, or 128 + signal number
  std::string out;      // everything written to standard output
  std::string err;      // everything written to standard error
};

using CgiEnvironment = std::map<std::string, std::string>;

// Starts `binary` with `env` as its whole environment, writes `body` to its
// standard input (then closes it), and waits for it. A program that does not
// read its input does not block the call. Kills the program and reports
// exit status -1 when it runs longer than `timeoutSeconds`.
CgiResult RunCgi(const std::string& binary, const CgiEnvironment& env, std::string_view body = {},
                 int timeoutSeconds = 30);

// The same for any program: command[0] is the program, the rest its arguments.
CgiResult RunCommand(const std::vector<std::string>& command, const CgiEnvironment& env, std::string_view body = {},
                     int timeoutSeconds = 30);

}  // namespace cfgout::testing
