#pragma once
// Running other programs without a shell.
//
// Every program the configuration pages start (the password tool, the
// server's restart command) is run from an argument vector: the program path
// is argv[0], and each value is exactly one argument, whatever characters it
// holds. Nothing is ever handed to a shell, so quotes, ";", "$(...)",
// backquotes, blanks and line breaks in a value are plain bytes of that one
// argument.

#include <string>
#include <vector>

namespace cfgout {

// Starts argv[0] with `argv` and the current environment, its standard input
// and output on /dev/null (nothing it prints can get into the page) and its
// standard error shared with ours, and waits for it. Returns its exit status
// (0-255), 128 + the signal number when a signal ended it, 127 when it could
// not be executed, and -1 when no process could be started (empty vector,
// fork failure).
int RunProgram(const std::vector<std::string>& argv);

// Replaces the current process by argv[0] with `argv` and the current
// environment. Returns only when the exec failed (errno tells why).
void ExecProgram(const std::vector<std::string>& argv);

}  // namespace cfgout
