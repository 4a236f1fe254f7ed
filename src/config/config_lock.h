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
// ("<canonical RULE_FILE>.lock") from before the configuration is opened
// until after it has been written back. Readers take no lock: the store
// replaces files by rename, so a reader never sees a half-written file.
//
// The lock file is never renamed or removed (locking the configuration file
// itself would not do: the store's rename gives it a new inode, and a waiter
// would hold a lock on the old one while a newcomer locks the new one).
//
// Nobody can hold the lock hostage: the file is private (mode 0600, opened
// for writing only, never through a symbolic link), and the wait for it is
// bounded; a writer that does not get it in time changes nothing and says
// so.

#include <chrono>
#include <string>

namespace cfgout {

class ConfigLock {
 public:
  // How long a writer waits for the lock by default.
  static constexpr std::chrono::milliseconds kDefaultWait{10000};

  ConfigLock() = default;
  ~ConfigLock();
  ConfigLock(ConfigLock&& other) noexcept;
  ConfigLock& operator=(ConfigLock&& other) noexcept;
  ConfigLock(const ConfigLock&) = delete;
  ConfigLock& operator=(const ConfigLock&) = delete;

  // Waits up to WaitLimit() for the exclusive lock on LockPathFor(ruleFile).
  // When the lock file cannot be created or opened (or is no regular file)
  // the result holds no lock and is not busy: the writer goes on (a
  // directory where the lock file cannot be created is one where the
  // configuration cannot be rewritten either, and the write-back reports
  // that). When another process holds the lock for the whole wait, the
  // result is busy().
  static ConfigLock AcquireExclusive(const std::string& ruleFile);
  static ConfigLock AcquireExclusive(const std::string& ruleFile, std::chrono::milliseconds wait);

  // The lock file of a main configuration file: its canonical path (links
  // and "."/".." resolved; for a file that does not exist yet, its
  // directory's) followed by ".lock", so that every spelling of one
  // configuration shares one lock.
  static std::string LockPathFor(const std::string& ruleFile);

  // The wait AcquireExclusive(ruleFile) uses; kDefaultWait unless changed
  // (test programs shorten it).
  static std::chrono::milliseconds WaitLimit();
  static void SetWaitLimit(std::chrono::milliseconds wait);

  bool held() const { return fd_ >= 0; }
  // Another process held the lock for the whole wait.
  bool busy() const { return busy_; }
  // Gives the lock up early (also done by the destructor).
  void Release();

 private:
  explicit ConfigLock(int fd) : fd_(fd) {}
  int fd_ = -1;
  bool busy_ = false;
};

}  // namespace cfgout
