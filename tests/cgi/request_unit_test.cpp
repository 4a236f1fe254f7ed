// The front end's own pieces in process: the CONTENT_LENGTH rule, page names
// from PATH_INFO, the request lock, the package table and the dispatch table.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "cgi/dispatch.h"
#include "cgi/request.h"
#include "cgi/request_limits.h"
#include "cgi/request_lock.h"
#include "pages/server_package.h"
#include "support/temp_dir.h"

namespace cfgout {
namespace {

TEST(ContentLengthTest, NumbersUpToTheLimitAreAccepted) {
  EXPECT_EQ(ParseContentLength("0"), 0);
  EXPECT_EQ(ParseContentLength("17"), 17);
  EXPECT_EQ(ParseContentLength(" 17\t"), 17);
  EXPECT_EQ(ParseContentLength("+17"), 17);
  EXPECT_EQ(ParseContentLength("-5"), -5);
  EXPECT_EQ(ParseContentLength("1048576"), 1048576);
  EXPECT_EQ(ParseContentLength("0001048576"), 1048576);
  EXPECT_EQ(ParseContentLength("10", 10), 10);
}

TEST(ContentLengthTest, AboveTheLimitOrNoNumberIsRefused) {
  for (const char* text : {"1048577", "99999999999999999999999999", "-99999999999999999999", "", " ", "+",
                           "abc", "12abc", "1 2", "0x10", "1e3", "1.5", "--1"}) {
    EXPECT_FALSE(ParseContentLength(text).has_value()) << '"' << text << '"';
  }
  EXPECT_FALSE(ParseContentLength("11", 10).has_value());
}

TEST(PageNameTest, LastSlashThenLastBackslashThenTheDefaultPage) {
  EXPECT_EQ(PageNameFromPathInfo("/BASIC"), "BASIC");
  EXPECT_EQ(PageNameFromPathInfo("/a/b/basic"), "basic");
  EXPECT_EQ(PageNameFromPathInfo("/BASIC/"), "");
  EXPECT_EQ(PageNameFromPathInfo("\\x\\Basic"), "Basic");
  EXPECT_EQ(PageNameFromPathInfo("\\x/y\\z"), "y\\z");
  EXPECT_EQ(PageNameFromPathInfo("BASIC"), "QTX_INTRO");
  EXPECT_EQ(PageNameFromPathInfo(""), "QTX_INTRO");
}

TEST(ServerPackageTest, RowsByPackageTypeAndRowZeroOutsideTheTable) {
  EXPECT_STREQ(SelectServerPackage("3").packageId, "KZO-PROXY-QTX");
  EXPECT_STREQ(SelectServerPackage("1").defaultCacheAlgorithm, "responsetime");
  EXPECT_EQ(SelectServerPackage("2").maxActiveThreadsLimit, 100);
  EXPECT_EQ(SelectServerPackage("0").limitActiveThreads, 1);
  EXPECT_EQ(SelectServerPackage("4").ignoreNoCacheSupported, 1);
  EXPECT_STREQ(SelectServerPackage(" 4x").packageId, "KZO-PROXY-DQTX");
  for (const char* outside : {"5", "-1", "abc", "", "99999999999999999999"}) {
    EXPECT_EQ(&SelectServerPackage(outside), &paramTable[0]) << outside;
  }
}

TEST(DispatchTableTest, BasicHasARowAndPagesWithoutHandlersTakeTheDefault) {
  const DispatchRow* basic = FindDispatchRow(8);
  ASSERT_NE(basic, nullptr);
  EXPECT_STREQ(basic->helpPage, "HLPBASIC");
  EXPECT_TRUE(basic->writeBack);
  EXPECT_NE(basic->output, nullptr);
  EXPECT_NE(basic->display, nullptr);
  EXPECT_EQ(basic->sequence, nullptr);
  // The pages that are no forms of their own (introduction, status block,
  // help and frame pages, inserts) and numbers beyond the table.
  for (int index : {-1, 0, 9, 12, 17, 24, 64, 68, 72, 73, 86, 90}) EXPECT_EQ(FindDispatchRow(index), nullptr) << index;
  // The protection list and form run sequences of their own.
  for (int index : {15, 75}) {
    const DispatchRow* row = FindDispatchRow(index);
    ASSERT_NE(row, nullptr) << index;
    EXPECT_STREQ(row->helpPage, "HLPDOCAU");
    EXPECT_NE(row->sequence, nullptr) << index;
  }
}

TEST(DispatchTableTest, UserPagesNeverWriteBackAndRestartRunsOnEveryMethod) {
  for (auto [index, help] : {std::pair{4, "HLPADDUS"}, {10, "HLPCHKUS"}, {11, "HLPCHPAS"}, {13, "HLPDELUS"}}) {
    const DispatchRow* row = FindDispatchRow(index);
    ASSERT_NE(row, nullptr) << index;
    EXPECT_STREQ(row->helpPage, help);
    EXPECT_FALSE(row->writeBack) << index;
    EXPECT_NE(row->output, nullptr) << index;
  }
  // The restart is its display step, which runs for GET and POST alike.
  const DispatchRow* restart = FindDispatchRow(84);
  ASSERT_NE(restart, nullptr);
  EXPECT_EQ(restart->helpPage, nullptr);
  EXPECT_EQ(restart->output, nullptr);
  EXPECT_FALSE(restart->writeBack);
}

class ConfigLockTest : public ::testing::Test {
 protected:
  // True when another open file description can take the lock right now.
  bool Free() const {
    const int fd = ::open(ConfigLock::LockPathFor(rule_).c_str(), O_RDONLY);
    if (fd < 0) return true;
    const bool free = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    ::close(fd);
    return free;
  }

  testing::TempDir dir_{"cfgout-lock"};
  std::string rule_ = dir_ / "proxy.conf";
};

TEST_F(ConfigLockTest, HeldUntilReleasedOrDestroyed) {
  const std::string canonical = std::filesystem::weakly_canonical(rule_).string();
  EXPECT_EQ(ConfigLock::LockPathFor(rule_), canonical + ".lock");
  {
    ConfigLock lock = ConfigLock::AcquireExclusive(rule_);
    EXPECT_TRUE(lock.held());
    EXPECT_FALSE(Free());
    ConfigLock moved = std::move(lock);
    EXPECT_FALSE(lock.held());
    EXPECT_TRUE(moved.held());
    EXPECT_FALSE(Free());
    moved.Release();
    EXPECT_FALSE(moved.held());
    EXPECT_TRUE(Free());
    ConfigLock again = ConfigLock::AcquireExclusive(rule_);
    EXPECT_FALSE(Free());
  }
  EXPECT_TRUE(Free());
  // The lock file stays for the next request.
  EXPECT_TRUE(std::filesystem::exists(canonical + ".lock"));
}

TEST_F(ConfigLockTest, PrivateSharedByEverySpellingAndNeverThroughALink) {
  testing::WriteFile(rule_, "# c\n");
  std::filesystem::create_directory(dir_ / "sub");
  std::filesystem::create_symlink(rule_, dir_ / "sub/link.conf");
  const std::string lockPath = ConfigLock::LockPathFor(rule_);
  for (const std::string& spelling : {dir_ / "sub/../proxy.conf", dir_.path() + "//./proxy.conf", dir_ / "sub/link.conf"}) {
    EXPECT_EQ(ConfigLock::LockPathFor(spelling), lockPath) << spelling;
  }
  ::umask(0);
  {
    ConfigLock lock = ConfigLock::AcquireExclusive(rule_);
    ASSERT_TRUE(lock.held());
    struct stat st {};
    ASSERT_EQ(::stat(lockPath.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
  }
  ::umask(022);
  // A link planted under the lock file's name is not followed.
  std::filesystem::remove(lockPath);
  std::filesystem::create_symlink(dir_ / "victim", lockPath);
  ConfigLock viaLink = ConfigLock::AcquireExclusive(rule_);
  EXPECT_FALSE(viaLink.held());
  EXPECT_FALSE(viaLink.busy());
  EXPECT_FALSE(std::filesystem::exists(dir_ / "victim"));
}

TEST_F(ConfigLockTest, WaitIsBoundedAndEndsBusy) {
  ConfigLock first = ConfigLock::AcquireExclusive(rule_);
  ASSERT_TRUE(first.held());
  std::thread other([&] {
    ConfigLock second = ConfigLock::AcquireExclusive(rule_, std::chrono::milliseconds(100));
    EXPECT_FALSE(second.held());
    EXPECT_TRUE(second.busy());
  });
  other.join();
  first.Release();
  ConfigLock third = ConfigLock::AcquireExclusive(rule_, std::chrono::milliseconds(100));
  EXPECT_TRUE(third.held());
  EXPECT_FALSE(third.busy());
}

TEST_F(ConfigLockTest, SecondRequestWaitsForTheFirst) {
  ConfigLock first = ConfigLock::AcquireExclusive(rule_);
  std::atomic<bool> acquired{false};
  std::thread second([&] {
    ConfigLock lock = ConfigLock::AcquireExclusive(rule_);
    acquired = lock.held();
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_FALSE(acquired.load());
  first.Release();
  second.join();
  EXPECT_TRUE(acquired.load());
}

TEST_F(ConfigLockTest, NoLockWhereTheLockFileCannotBeMade) {
  ConfigLock lock = ConfigLock::AcquireExclusive(dir_ / "missing/proxy.conf");
  EXPECT_FALSE(lock.held());
}

}  // namespace
}  // namespace cfgout
