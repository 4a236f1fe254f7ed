#include "config/config_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>
#include <thread>
#include <utility>

namespace cfgout {

namespace {

constexpr std::chrono::milliseconds kPollInterval{25};

std::chrono::milliseconds g_waitLimit = ConfigLock::kDefaultWait;

// realpath as an owned string; nullopt-like empty result on failure.
std::string RealPath(const std::string& path) {
  std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr), &std::free);
  return resolved ? std::string(resolved.get()) : std::string();
}

}  // namespace

ConfigLock::~ConfigLock() { Release(); }

ConfigLock::ConfigLock(ConfigLock&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), busy_(std::exchange(other.busy_, false)) {}

ConfigLock& ConfigLock::operator=(ConfigLock&& other) noexcept {
  if (this != &other) {
    Release();
    fd_ = std::exchange(other.fd_, -1);
    busy_ = std::exchange(other.busy_, false);
  }
  return *this;
}

std::string ConfigLock::LockPathFor(const std::string& ruleFile) {
  std::string canonical = RealPath(ruleFile);
  if (canonical.empty()) {
    // Not there yet (reading will create it): its directory's canonical path.
    const std::size_t slash = ruleFile.rfind('/');
    const std::string directory = slash == std::string::npos ? "." : (slash == 0 ? "/" : ruleFile.substr(0, slash));
    const std::string base = slash == std::string::npos ? ruleFile : ruleFile.substr(slash + 1);
    const std::string resolved = RealPath(directory);
    canonical = resolved.empty() ? ruleFile : (resolved == "/" ? "/" : resolved + "/") + base;
  }
  return canonical + ".lock";
}

std::chrono::milliseconds ConfigLock::WaitLimit() { return g_waitLimit; }

void ConfigLock::SetWaitLimit(std::chrono::milliseconds wait) { g_waitLimit = wait; }

ConfigLock ConfigLock::AcquireExclusive(const std::string& ruleFile) {
  return AcquireExclusive(ruleFile, g_waitLimit);
}

ConfigLock ConfigLock::AcquireExclusive(const std::string& ruleFile, std::chrono::milliseconds wait) {
  const std::string path = LockPathFor(ruleFile);
  // Written to never, but opened for writing only: an account that may not
  // write the file cannot open it to take the lock. O_NONBLOCK keeps a FIFO
  // planted under the name from holding the open up.
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0600);
  if (fd < 0) return ConfigLock();
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return ConfigLock();
  }
  // A lock file left by an older version may be readable by others.
  if ((st.st_mode & 07777) != 0600 && st.st_uid == ::geteuid()) (void)::fchmod(fd, 0600);

  const auto deadline = std::chrono::steady_clock::now() + wait;
  for (;;) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return ConfigLock(fd);
    if (errno == EINTR) continue;
    if (errno != EWOULDBLOCK || std::chrono::steady_clock::now() >= deadline) break;
    std::this_thread::sleep_for(kPollInterval);
  }
  const bool busy = errno == EWOULDBLOCK;
  ::close(fd);
  ConfigLock none;
  none.busy_ = busy;
  return none;
}

void ConfigLock::Release() {
  if (fd_ >= 0) {
    // Closing the descriptor drops the flock.
    ::close(fd_);
    fd_ = -1;
  }
}

}  // namespace cfgout
