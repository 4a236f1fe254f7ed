#include "runtime/child_process.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

extern char** environ;

namespace cfgout {

namespace {

// The vector as execv wants it: pointers into the strings, null-terminated.
std::vector<char*> ArgPointers(const std::vector<std::string>& argv) {
  std::vector<char*> pointers;
  pointers.reserve(argv.size() + 1);
  for (const std::string& arg : argv) pointers.push_back(const_cast<char*>(arg.c_str()));
  pointers.push_back(nullptr);
  return pointers;
}

}  // namespace

int RunProgram(const std::vector<std::string>& argv) {
  if (argv.empty()) return -1;
  // Everything the child needs is prepared before fork: between fork and
  // exec the child only calls async-signal-safe functions.
  std::vector<char*> args = ArgPointers(argv);
  const int devNull = ::open("/dev/null", O_RDWR | O_CLOEXEC);
  const pid_t pid = ::fork();
  if (pid < 0) {
    if (devNull >= 0) ::close(devNull);
    return -1;
  }
  if (pid == 0) {
    if (devNull >= 0) {
      ::dup2(devNull, STDIN_FILENO);
      ::dup2(devNull, STDOUT_FILENO);
    }
    ::execve(args[0], args.data(), environ);
    ::_exit(127);
  }
  if (devNull >= 0) ::close(devNull);
  int status = 0;
  pid_t done;
  do {
    done = ::waitpid(pid, &status, 0);
  } while (done < 0 && errno == EINTR);
  if (done < 0) return -1;
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

void ExecProgram(const std::vector<std::string>& argv) {
  if (argv.empty()) {
    errno = ENOENT;
    return;
  }
  std::vector<char*> args = ArgPointers(argv);
  ::execve(args[0], args.data(), environ);
}

}  // namespace cfgout
