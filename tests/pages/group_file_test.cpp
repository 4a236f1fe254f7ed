// The group file edits of the user pages, as tables: file before, call,
// result code, file after (nullopt: the file does not exist).

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "pages/user_pages.h"
#include "support/temp_dir.h"

namespace cfgout {
namespace {

using testing::TempDir;

struct Case {
  const char* name;
  std::optional<std::string> before;  // nullopt: no file
  const char* user;
  const char* group;  // null: delete instead of add
  int rc;
  std::optional<std::string> after;
};

TEST(GroupFileTest, AddAndDeleteFollowTheLineRules) {
  const std::vector<Case> cases = {
      {"new file", std::nullopt, "ann", "admins", 0, "admins: ann\n"},
      {"empty file", "", "ann", "admins", 0, "admins: ann\n"},
      {"append to the line", "admins: ann, bob\nusers: cy\n", "dan", "admins", 0,
       "admins: ann, bob, dan\nusers: cy\n"},
      {"second group", "admins: ann\n", "bob", "users", 0, "admins: ann\nusers: bob\n"},
      {"every matching line", "g: a\nh: b\ng: c\n", "d", "g", 0, "g: a, d\nh: b\ng: c, d\n"},
      {"no membership check", "g: a\n", "a", "g", 0, "g: a, a\n"},
      {"group compared exactly", "Admins: a\nadmins2: b\n", "c", "admins", 0, "Admins: a\nadmins2: b\nadmins: c\n"},
      {"last line without line feed", "g: a", "b", "g", 0, "g: a, b\n"},
      {"no group", "g: a\n", "b", "", 1, "g: a\n"},
      {"first of two", "g: ann, bob\n", "ann", nullptr, 0, "g: bob\n"},
      {"middle", "g: ann, bob, cy\n", "bob", nullptr, 0, "g: ann, cy\n"},
      {"last of two", "g: ann, bob\n", "bob", nullptr, 0, "g: ann\n"},
      {"only member", "x: a\ng: bob\ny: c\n", "bob", nullptr, 0, "x: a\ny: c\n"},
      {"several groups", "g: ann, bob\nh: bob\nk: cy\n", "bob", nullptr, 0, "g: ann\nk: cy\n"},
      {"group name not searched", "bob: ann\n", "bob", nullptr, 0, "bob: ann\n"},
      {"member of a group named alike", "bob: ann, bob\n", "bob", nullptr, 0, "bob: ann\n"},
      {"first substring match", "g: bobby, bob\n", "bob", nullptr, 0, "g:y, bob\n"},
      {"substring later in line", "g: ann, bobby\n", "bob", nullptr, 0, "g: annby\n"},
      {"only first match", "g: bob, x, bob\n", "bob", nullptr, 0, "g: x, bob\n"},
      {"not a member", "g: ann\n", "bob", nullptr, 0, "g: ann\n"},
      {"empty file untouched", "", "bob", nullptr, 0, ""},
      {"no file", std::nullopt, "bob", nullptr, 1, std::nullopt},
  };
  for (const Case& c : cases) {
    TempDir dir("cfgout-group");
    const std::string file = dir / "webadmin.group";
    if (c.before) dir.Write("webadmin.group", *c.before);
    const int rc = c.group != nullptr ? CfgAddUserToGroup(c.user, c.group, file) : CfgDelUserFromGroup(c.user, file);
    EXPECT_EQ(rc, c.rc) << c.name;
    if (c.after) {
      EXPECT_EQ(dir.Read("webadmin.group"), *c.after) << c.name;
    } else {
      EXPECT_FALSE(std::filesystem::exists(file)) << c.name;
    }
  }
}

TEST(GroupFileTest, UnreadableOrUnwritableFiles) {
  TempDir dir("cfgout-group");
  // A folder that does not exist: nothing to read, nothing can be made.
  const std::string missing = dir / "no-such-dir/webadmin.group";
  EXPECT_EQ(CfgAddUserToGroup("a", "g", missing), 1);
  EXPECT_EQ(CfgDelUserFromGroup("a", missing), 1);
  // A readable file that cannot be replaced, even by root.
  EXPECT_EQ(CfgDelUserFromGroup("a", "/proc/version"), 2);
  EXPECT_EQ(CfgAddUserToGroup("a", "g", "/proc/version"), 1);
  // A directory reads as nothing and is never replaced.
  EXPECT_EQ(CfgDelUserFromGroup("a", dir.path()), 1);
  EXPECT_EQ(CfgAddUserToGroup("a", "g", dir.path()), 1);
  EXPECT_TRUE(std::filesystem::is_directory(dir.path()));
}

TEST(GroupFileTest, ReplacingKeepsTheModeAndALink) {
  TempDir dir("cfgout-group");
  const std::string real = dir.Write("real.group", "g: a\n");
  ::chmod(real.c_str(), 0604);
  const std::string link = dir / "link.group";
  std::filesystem::create_symlink(real, link);
  EXPECT_EQ(CfgAddUserToGroup("b", "g", link), 0);
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(dir.Read("real.group"), "g: a, b\n");
  struct stat st {};
  ::stat(real.c_str(), &st);
  EXPECT_EQ(st.st_mode & 0777, 0604u);
}

}  // namespace
}  // namespace cfgout
