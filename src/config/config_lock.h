#pragma once
// The advisory lock that serialises configuration changes, held by every
// writer of the configuration store: the CGI program for a POST, and the
// command line for a change.
//
// A posted form (or a change from the command line) reads the
// configuration, edits it in memory and writes every file back. Two such
// writers running at the same time would each write what they read, and the
// later write would silently drop the earlier change. A writer therefore
// holds an exclusive flock on a lock file beside the main configuration file
// ("<RULE_FILE>.lock") from before the configuration is opened until after it
// has been written back. Readers take no lock: the store replaces files by
// rename, so a reader never sees a half-written file.
//
// The lock file is never renamed or removed (locking the configuration file
// itself would not do: the store's rename gives it a new inode, and a waiter
// would hold a lock on the old one while a newcomer locks the new one).

#include <string>

namespace cfgout {

class ConfigLock {
 public:
  ConfigLock() = default;
  ~ConfigLock();
  ConfigLock(ConfigLock&& other) noexcept;
  ConfigLock& operator=(ConfigLock&& other) noexcept;
  ConfigLock(const ConfigLock&) = delete;
  ConfigLock& operator=(const ConfigLock&) = delete;

  // Blocks until the exclusive lock on "<ruleFile>.lock" is held. When the
  // lock file cannot be created or locked the result holds no lock (the
  // request goes on: a directory where the lock file cannot be created is
  // one where the configuration cannot be rewritten either, and the
  // write-back reports that).
  static ConfigLock AcquireExclusive(const std::string& ruleFile);

  static std::string LockPathFor(const std::string& ruleFile) { return ruleFile + ".lock"; }

  bool held() const { return fd_ >= 0; }
  // Gives the lock up early (also done by the destructor).
  void Release();

 private:
  explicit ConfigLock(int fd) : fd_(fd) {}
  int fd_ = -1;
};

}  // namespace cfgout
