#include "cgi/cgi_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <tuple>
#include <vector>

namespace cfgout::testing {

namespace {

struct Pipe {
  int fd[2] = {-1, -1};
  Pipe() {
    if (::pipe2(fd, O_CLOEXEC) != 0) fd[0] = fd[1] = -1;
  }
  ~Pipe() { Close(0), Close(1); }
  void Close(int i) {
    if (fd[i] >= 0) ::close(fd[i]);
    fd[i] = -1;
  }
};

long NowMillis() {
  timespec ts{};
  ::clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec * 1000L + ts.tv_nsec / 1000000L;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
  std::vector<char*> out;
  for (std::string& s : strings) out.push_back(s.data());
  out.push_back(nullptr);
  return out;
}

}  // namespace

CgiResult RunCgi(const std::string& binary, const CgiEnvironment& env, std::string_view body, int timeoutSeconds) {
  return RunCommand({binary}, env, body, timeoutSeconds);
}

CgiResult RunCommand(const std::vector<std::string>& command, const CgiEnvironment& env, std::string_view body,
                     int timeoutSeconds) {
  // A program that exits without reading its input must not kill the test
  // with SIGPIPE; the write then fails with EPIPE instead.
  ::signal(SIGPIPE, SIG_IGN);
  CgiResult result;
  Pipe in, out, err;
  if (in.fd[0] < 0 || out.fd[0] < 0 || err.fd[0] < 0 || command.empty()) return result;
  std::vector<std::string> envStrings, args = command;
  for (const auto& [name, value] : env) envStrings.push_back(name + "=" + value);
  std::vector<char*> envp = Pointers(envStrings), argv = Pointers(args);

  const pid_t pid = ::fork();
  if (pid < 0) return result;
  if (pid == 0) {
    ::dup2(in.fd[0], 0);
    ::dup2(out.fd[1], 1);
    ::dup2(err.fd[1], 2);
    ::execve(argv[0], argv.data(), envp.data());
    ::_exit(127);
  }
  in.Close(0), out.Close(1), err.Close(1);
  ::fcntl(in.fd[1], F_SETFL, O_NONBLOCK);
  std::size_t written = 0;
  if (body.empty()) in.Close(1);
  const long deadline = NowMillis() + timeoutSeconds * 1000L;
  bool timedOut = false;
  char buffer[65536];
  while (out.fd[0] >= 0 || err.fd[0] >= 0) {
    pollfd fds[3];
    int n = 0, outSlot = -1, errSlot = -1, inSlot = -1;
    if (out.fd[0] >= 0) fds[outSlot = n++] = {out.fd[0], POLLIN, 0};
    if (err.fd[0] >= 0) fds[errSlot = n++] = {err.fd[0], POLLIN, 0};
    if (in.fd[1] >= 0) fds[inSlot = n++] = {in.fd[1], POLLOUT, 0};
    const long left = deadline - NowMillis();
    if ((timedOut = left <= 0)) break;
    if (::poll(fds, static_cast<nfds_t>(n), static_cast<int>(left)) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (inSlot >= 0 && fds[inSlot].revents != 0) {
      // POLLERR/POLLHUP: the program closed its input without reading it all.
      const ssize_t w = (fds[inSlot].revents & POLLOUT) != 0
                            ? ::write(in.fd[1], body.data() + written, body.size() - written) : -1;
      if (w > 0) written += static_cast<std::size_t>(w);
      if ((w < 0 && errno != EAGAIN && errno != EINTR) || (fds[inSlot].revents & POLLOUT) == 0 || written == body.size()) {
        in.Close(1);
      }
    }
    for (auto [slot, pipe, sink] : {std::tuple{outSlot, &out, &result.out}, std::tuple{errSlot, &err, &result.err}}) {
      if (slot < 0 || fds[slot].revents == 0) continue;
      const ssize_t r = ::read(pipe->fd[0], buffer, sizeof buffer);
      if (r > 0) {
        sink->append(buffer, static_cast<std::size_t>(r));
      } else if (r == 0 || (errno != EINTR && errno != EAGAIN)) {
        pipe->Close(0);
      }
    }
  }
  in.Close(1);
  if (timedOut) ::kill(pid, SIGKILL);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (!timedOut) result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}

}  // namespace cfgout::testing
