#include "config/config_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace cfgout {

ConfigLock::~ConfigLock() { Release(); }

ConfigLock::ConfigLock(ConfigLock&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

ConfigLock& ConfigLock::operator=(ConfigLock&& other) noexcept {
  if (this != &other) {
    Release();
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

ConfigLock ConfigLock::AcquireExclusive(const std::string& ruleFile) {
  const std::string path = LockPathFor(ruleFile);
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  // A lock file made by another account may be readable only; flock works on
  // a read-only descriptor too.
  if (fd < 0) fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return ConfigLock();
  int rc;
  do {
    rc = ::flock(fd, LOCK_EX);
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) {
    ::close(fd);
    return ConfigLock();
  }
  return ConfigLock(fd);
}

void ConfigLock::Release() {
  if (fd_ >= 0) {
    // Closing the descriptor drops the flock.
    ::close(fd_);
    fd_ = -1;
  }
}

}  // namespace cfgout
