// The front end's own pieces in process: form decoding, the posted-body
// environment check, CONTENT_LENGTH, page names, the package and dispatch
// tables, the cross-site check and the request lock.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "cgi/cross_site.h"
#include "cgi/dispatch.h"
#include "cgi/form_decoding.h"
#include "cgi/request.h"
#include "cgi/request_limits.h"
#include "cgi/request_lock.h"
#include "pages/server_package.h"
#include "support/temp_dir.h"

namespace cfgout {
namespace {

// Decodes `body` announced as `length` bytes; each field as "name=value",
// or "name" alone when it has no value.
std::vector<std::string> Decoded(const std::string& body, long length, bool* complete, std::string* rest = nullptr) {
  std::FILE* in = std::tmpfile();
  std::fwrite(body.data(), 1, body.size(), in);
  std::rewind(in);
  std::vector<std::string> fields;
  for (const FormArg& arg : ReadArguments(length, in, complete)) fields.push_back(arg.name + (arg.value ? "=" + *arg.value : ""));
  for (int c; rest != nullptr && (c = std::fgetc(in)) != EOF;) *rest += static_cast<char>(c);
  std::fclose(in);
  return fields;
}

TEST(FormDecodingTest, Table) {
  struct Row {
    std::string body;
    long length;  // -1: the body's size
    std::vector<std::string> fields;
    int complete = 1;  // -1: not checked
  };
  const std::string large(200000, 'x');
  const Row rows[] = {
      {"ADMINPORT=8080&HOSTNAME=proxy.example.com&X=", -1, {"ADMINPORT=8080", "HOSTNAME=proxy.example.com", "X="}},
      {"&&A=1&&B=2&", -1, {"A=1", "B=2"}},
      {"&&&", -1, {}},
      {"&", -1, {}},
      {"A=1", 0, {}, -1},
      {"A=1", -5, {}, -1},
      {"FLAG&A=x=y&=v", -1, {"FLAG", "A=x=y", "=v"}},  // split at the first '=' only
      {"A+B%41", -1, {"A+B%41"}},                         // no value: nothing decoded
      {"A+B%41=C+D%41", -1, {"A+B%41=C DA"}},             // names never decoded
      {"A=a+b%2Bc&B=%41%42&C=%7e%7E&D=%2F%3A%3d", -1, {"A=a b+c", "B=AB", "C=~~", "D=/:="}},
      {"A=x%26B%3Dy&C=1", -1, {"A=x&B=y", "C=1"}},
      {"A=%2541&B=%252B&C=%25%41", -1, {"A=%41", "B=%2B", "C=%A"}},  // produced bytes are not decoded again
      // A non-hex digit counts 0 ('%' too).
      {"A=%G1x&B=%4Gx&C=%4%x&D=%1z", -1, {"A=\x01x", "B=@x", "C=@x", "D=\x10"}},
      {"A=%ff%80%C3%A9", -1, {"A=\xFF\x80\xC3\xA9"}},
      {"A=ab%zzcd&B=%00x&C=x%0G", -1, {"A=ab", "B=", "C=x"}},  // a produced NUL ends the value
      {"A=50%&B=x%4&C=%", -1, {"A=50%", "B=x%4", "C=%"}},
      {"A=%4", -1, {"A=%4"}},
      {"CACHING=off&caching=on", -1, {"CACHING=off", "caching=on"}},
      // A short body is padded with 0xFF.
      {"A=1&B=x", 10, {"A=1", "B=x\xFF\xFF\xFF"}, 0},
      {"AB", 4, {"AB\xFF\xFF"}, 0},
      {"", 3, {"\xFF\xFF\xFF"}, 0},
      {"", 1, {"\xFF"}, 0},
      {"", 0, {}},
      {"A=" + large + "&B=%41", -1, {"A=" + large, "B=A"}},
      {std::string("A=1&B=2\0&C=3", 12), -1, {"A=1", "B=2"}, -1},  // a raw NUL ends the body
  };
  for (const Row& row : rows) {
    bool complete = row.complete != 1;
    const long length = row.length == -1 ? static_cast<long>(row.body.size()) : row.length;
    EXPECT_EQ(Decoded(row.body, length, &complete), row.fields) << row.body.substr(0, 40) << " " << row.length;
    if (row.complete >= 0) {
      EXPECT_EQ(complete, row.complete == 1) << row.body.substr(0, 40);
    }
  }
  EXPECT_TRUE(ReadArguments(0, nullptr).empty());
  // Exactly `length` bytes are read.
  std::string rest;
  bool complete = false;
  EXPECT_EQ(Decoded("A=1&B=2&C=3", 7, &complete, &rest), (std::vector<std::string>{"A=1", "B=2"}));
  EXPECT_TRUE(complete);
  EXPECT_EQ(rest, "&C=3");
}

TEST(FormDecodingTest, CheckEnvironment) {
  struct Row {
    const char *method, *length, *expected;  // null: unset; expected method null: no check
    int rc;
    long stored;
  };
  for (const Row& r : {Row{nullptr, "10", "POST", 1, 0}, Row{"GET", "10", "POST", 1, 0}, Row{"post", "42", "POST", 0, 42},
                       Row{"post", nullptr, "POST", 2, 0}, Row{"post", "0", "POST", 2, 0}, Row{"post", "-7", "POST", 2, -7},
                       Row{"post", " 12abc", "POST", 0, 12}, Row{"post", "abc", "POST", 2, 0},
                       Row{"post", "99999999999999", "POST", 0, 2147483647}, Row{nullptr, "5", nullptr, 0, 5}}) {
    r.method != nullptr ? ::setenv("REQUEST_METHOD", r.method, 1) : ::unsetenv("REQUEST_METHOD");
    r.length != nullptr ? ::setenv("CONTENT_LENGTH", r.length, 1) : ::unsetenv("CONTENT_LENGTH");
    long length = 99;
    EXPECT_EQ(CheckEnvironment(&length, r.expected), r.rc) << r.method << " " << r.length;
    EXPECT_EQ(length, r.stored) << r.method << " " << r.length;
  }
  ::unsetenv("REQUEST_METHOD");
  ::unsetenv("CONTENT_LENGTH");
}

TEST(RequestUnitTest, ContentLengthUpToTheLimit) {
  for (const auto& [text, value] : {std::pair{"0", 0L}, {"17", 17L}, {" 17\t", 17L}, {"+17", 17L}, {"-5", -5L},
                                    {"1048576", 1048576L}, {"0001048576", 1048576L}}) {
    EXPECT_EQ(ParseContentLength(text), value) << text;
  }
  EXPECT_EQ(ParseContentLength("10", 10), 10);
  for (const char* text : {"1048577", "99999999999999999999999999", "-99999999999999999999", "", " ", "+", "abc",
                           "12abc", "1 2", "0x10", "1e3", "1.5", "--1"}) {
    EXPECT_FALSE(ParseContentLength(text).has_value()) << '"' << text << '"';
  }
  EXPECT_FALSE(ParseContentLength("11", 10).has_value());
}

TEST(RequestUnitTest, ServerPackageRowsAndRowZeroOutsideTheTable) {
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

TEST(RequestUnitTest, DispatchTable) {
  struct Row {
    int index;
    const char* help;  // null: no row
    bool writeBack, output, display, sequence;
  };
  // Basic; the user pages never write back; the protection list and form run
  // sequences of their own; the restart is its display step alone (for GET and POST).
  for (const Row& r : {Row{8, "HLPBASIC", true, true, true, false}, Row{4, "HLPADDUS", false, true, true, false},
                       Row{10, "HLPCHKUS", false, true, true, false}, Row{11, "HLPCHPAS", false, true, true, false},
                       Row{13, "HLPDELUS", false, true, true, false}, Row{15, "HLPDOCAU", true, true, true, true},
                       Row{75, "HLPDOCAU", true, true, true, true}, Row{84, "", false, false, true, false}}) {
    const DispatchRow* row = FindDispatchRow(r.index);
    ASSERT_NE(row, nullptr) << r.index;
    EXPECT_STREQ(row->helpPage == nullptr ? "" : row->helpPage, r.help) << r.index;
    EXPECT_EQ(row->writeBack, r.writeBack) << r.index;
    EXPECT_EQ(row->output != nullptr, r.output) << r.index;
    EXPECT_EQ(row->display != nullptr, r.display) << r.index;
    EXPECT_EQ(row->sequence != nullptr, r.sequence) << r.index;
  }
  // Pages that are no forms of their own (introduction, status block, help,
  // frames, inserts) and numbers beyond the table take the default.
  for (int index : {-1, 0, 9, 12, 17, 24, 64, 68, 72, 73, 86, 90}) EXPECT_EQ(FindDispatchRow(index), nullptr) << index;
}

TEST(RequestUnitTest, CrossSiteIsOriginElseRefererAgainstHost) {
  struct Case {
    RequestSite site;
    bool crossSite;
  };
  const Case cases[] = {
      {{"h:8080", "", "", false}, false}, {{"h:8080", "http://h:8080", "", false}, false},
      {{"H:8080", "http://h:8080", "", false}, false}, {{"h:8080", "http://h:8081", "", false}, true},
      {{"h:8080", "http://g:8080", "", false}, true}, {{"h", "http://h", "", false}, false},
      {{"h", "http://h:80", "", false}, false}, {{"h", "https://h", "", false}, true},
      {{"h", "https://h", "", true}, false}, {{"h:443", "https://h", "", false}, false},
      {{"[::1]:8080", "http://[::1]:8080", "", false}, false}, {{"[::1]:8080", "http://[::2]:8080", "", false}, true},
      {{"h:8080", "null", "", false}, true}, {{"h:8080", "ftp://h:8080", "", false}, false},
      {{"h:8080", "ftp://h", "", false}, true}, {{"", "http://h:8080", "", false}, true},
      {{"h:8080", "", "http://h:8080/cgi-bin/cfgout/BASIC?x=http://g/", false}, false},
      {{"h:8080", "", "http://u:p@h:8080/x", false}, false}, {{"h:8080", "", "http://g:8080/?http://h:8080/", false}, true},
      {{"h:8080", "", "/relative", false}, true}, {{"h:8080", "http://g", "http://h:8080/", false}, true},
      {{"h:x", "http://h", "", false}, true}, {{"h:8080", "http://h:99999999", "", false}, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsCrossSiteRequest(c.site), c.crossSite) << c.site.host << " / " << c.site.origin << " / " << c.site.referer;
  }
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
  EXPECT_TRUE(std::filesystem::exists(canonical + ".lock"));  // kept for the next request
  // No lock where the lock file cannot be made.
  EXPECT_FALSE(ConfigLock::AcquireExclusive(dir_ / "missing/proxy.conf").held());
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
  ::chmod(lockPath.c_str(), 0644);  // left readable by an older version: made private again
  {
    ConfigLock lock = ConfigLock::AcquireExclusive(rule_);
    struct stat st {};
    ASSERT_EQ(::stat(lockPath.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
  }
  // A link planted under the lock file's name is not followed.
  std::filesystem::remove(lockPath);
  std::filesystem::create_symlink(dir_ / "victim", lockPath);
  ConfigLock viaLink = ConfigLock::AcquireExclusive(rule_);
  EXPECT_FALSE(viaLink.held());
  EXPECT_FALSE(viaLink.busy());
  EXPECT_FALSE(std::filesystem::exists(dir_ / "victim"));
}

}  // namespace
}  // namespace cfgout
