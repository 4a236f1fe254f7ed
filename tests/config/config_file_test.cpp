#include "config/config_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "config/temp_files.h"

namespace cfgout {
namespace {

using namespace testing;

namespace fs = std::filesystem;

Lines Paths(const ConfigHandle& cfg) { Lines out; for (const ConfigFile& f : cfg) out.push_back(f.path); return out; }
bool Exists(const std::string& path) { return fs::exists(fs::symlink_status(path)); }
mode_t Mode(const std::string& path) { struct stat st {}; return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0; }

TEST(ConfigRead, LinesAndRoundTripAreByteExact) {
  TempDir dir;
  const std::string path = dir / "rt.conf";
  // Bytes and their lines: 1023 bytes a node at most, an empty one after a final line feed.
  struct Row { std::string bytes; Lines lines; };
  const Row rows[] = {
      {"Port 80\r\nGc On\n\nlast", {"Port 80\r\n", "Gc On\n", "\n", "last"}}, {"x\n", {"x\n", ""}}, {"", {""}},
      {"a\n" + std::string(2000, 'x') + "\n" + std::string(1023, 'y') + "\nz",
       {"a\n", std::string(1023, 'x'), std::string(977, 'x') + "\n", std::string(1023, 'y'), "\n", "z"}},
      {"no final newline", {"no final newline"}},
      {std::string("nul\0inside\nand\0\0end", 20), {std::string("nul\0inside\n", 11), std::string("and\0\0end\0", 9)}},
      {"bad utf8 \xff\xfe\xc3\x28 \x80\n\r\r\n", {"bad utf8 \xff\xfe\xc3\x28 \x80\n", "\r\r\n", ""}},
      {std::string(1024, 'b'), {std::string(1023, 'b'), "b"}},
      {"k " + std::string(200000, 'h') + "\r\n" + std::string(70000, '\n'), {}},  // longer than the read buffer
  };
  for (const Row& r : rows) {
    WriteFile(path, r.bytes);
    auto cfg = HTTPDConfigOpen(path);
    ASSERT_TRUE(cfg);
    EXPECT_EQ(cfg->file_count(), 1u);
    EXPECT_EQ(r.lines.empty() ? r.lines : Texts(cfg->first()->lines), r.lines) << r.bytes;
    WriteFile(path, "clobbered");
    EXPECT_EQ(HTTPDConfigWrite(*cfg), 0);
    EXPECT_EQ(ReadFile(path), r.bytes);
  }
}

// The piece that continues a cut line is no directive and goes with its line.
TEST(ConfigRead, ContinuationPiecesBelongToTheirLine) {
  TempDir dir;
  const std::string head = "UserID " + std::string(1016, 'u');  // 1023 bytes: the cut
  const std::string tail = "configfile " + dir / "evil.conf" + "\n";
  WriteFile(dir / "m.conf", "Port 80\n" + head + tail + "GroupID g\n");
  auto cfg = HTTPDConfigOpen(dir / "m.conf");
  ASSERT_TRUE(cfg);
  EXPECT_EQ(cfg->file_count(), 1u);
  EXPECT_FALSE(Exists(dir / "evil.conf"));
  for (auto [keyword, instances] : {std::pair{"configfile", 0u}, {"userid", 1u}, {"groupid", 1u}})
    EXPECT_EQ(HTTPDGetRules(*cfg, HTTPDRuleToID(keyword)).size(), instances) << keyword;
  HTTPDAddRules(*cfg, HTTPDRuleToID("userid"), LineList::FromTexts({"UserID second\n"}));
  EXPECT_THAT(Texts(cfg->first()->lines), ElementsAre("Port 80\n", head, tail, "UserID second\n", "GroupID g\n", ""));
  HTTPDReplaceRules(*cfg, HTTPDRuleToID("userid"), LineList::FromTexts({"UserID u\n"}), 0);
  EXPECT_THAT(Texts(cfg->first()->lines), ElementsAre("Port 80\n", "UserID u\n", "GroupID g\n", ""));
}

// Only regular files are read; a refused one stops the write. Two names, one file: read once.
TEST(ConfigRead, WhatIncludesRead) {
  TempDir dir;
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  ASSERT_EQ(::symlink("/dev/zero", (dir / "zero-link").c_str()), 0);
  WriteFile(dir / "huge.conf", "");
  ASSERT_EQ(::truncate((dir / "huge.conf").c_str(), static_cast<off_t>(kMaxConfigBytes) + 1), 0);
  const std::string plain = dir.Write("sub/plain.conf", "Port 81\n");
  ASSERT_EQ(::symlink(plain.c_str(), (dir / "link.conf").c_str()), 0);
  struct Row { std::string includes; std::vector<ConfigRefusal> refused; Lines paths; };
  const Row rows[] = {
      {dir / "fifo", {ConfigRefusal::kNotRegularFile}, {"m"}}, {"/dev/zero", {ConfigRefusal::kNotRegularFile}, {"m"}},
      {dir / "zero-link", {ConfigRefusal::kNotRegularFile}, {"m"}}, {dir.path(), {ConfigRefusal::kNotRegularFile}, {"m"}},
      {dir / "huge.conf", {ConfigRefusal::kTooLarge}, {"m", dir / "huge.conf"}},
      {plain + "\nconfigfile " + dir.path() + "//sub/./plain.conf\nconfigfile " + dir / "link.conf\nconfigfile " +
           dir / "m.conf", {}, {"m", plain}},
  };
  for (const Row& r : rows) {
    WriteFile(dir / "m.conf", "Port 80\nconfigfile " + r.includes + "\n");
    auto cfg = HTTPDConfigOpen(dir / "m.conf");
    ASSERT_TRUE(cfg) << r.includes;
    std::vector<ConfigRefusal> reasons;
    for (const ConfigRefusedFile& f : cfg->refused()) reasons.push_back(f.path == r.includes ? f.reason : ConfigRefusal{-1});
    EXPECT_EQ(reasons, r.refused) << r.includes;
    Lines paths = Paths(*cfg);
    paths[0] = "m";
    EXPECT_EQ(paths, r.paths);
    ConfigWriteReport report;
    EXPECT_EQ(HTTPDConfigWrite(*cfg, &report), r.refused.empty() ? 0 : -1) << r.includes;
    EXPECT_EQ(report.problem, r.refused.empty() ? ConfigWriteProblem::kNone : ConfigWriteProblem::kRefusedFile);
  }
  // A main file that is no regular file, none, one that cannot even be created.
  for (const std::string& bad : {dir / "fifo", std::string(), dir / "no/such/dir.conf"}) EXPECT_FALSE(HTTPDConfigOpen(bad)) << bad;
  EXPECT_EQ(HTTPDConfigOpen(static_cast<const char*>(nullptr)), nullptr);
  WriteFile(dir / "m.conf", "configfile " + dir / "no/such/inc.conf" + "\n");
  EXPECT_EQ(HTTPDConfigOpen(dir / "m.conf")->file_count(), 1u);  // an include that cannot be opened is left out
}

// Missing files are created with the main file's bits at most, never above 0640.
TEST(ConfigRead, CreatedFilesArePrivate) {
  TempDir dir;
  const mode_t previous = ::umask(0);
  for (auto [mainMode, created] : {std::pair<mode_t, mode_t>{0600, 0600}, {0644, 0640}, {0666, 0640}, {0400, 0600}}) {
    WriteFile(dir / "m.conf", "configfile " + dir / "new.conf" + "\n");
    ASSERT_EQ(::chmod((dir / "m.conf").c_str(), mainMode), 0);
    ASSERT_TRUE(HTTPDConfigOpen(dir / "m.conf"));
    EXPECT_EQ(Mode(dir / "new.conf"), created) << std::oct << mainMode;
    fs::remove(dir / "new.conf");
  }
  ASSERT_TRUE(HTTPDConfigOpen(dir / "missing-main.conf"));
  EXPECT_EQ(Mode(dir / "missing-main.conf"), 0640u);
  ::umask(previous);
}

TEST(ConfigRead, IncludesAreReadBreadthFirstOnce) {
  TempDir dir;
  const std::string main = dir / "main.conf";
  WriteFile(main, "Port 80\nConfigFile " + dir / "a.conf" + "\nconfigfile " + main + "\n"  // itself: read once
                  "RCACONFIGFILE   " + dir / "b.conf" + "   # a comment\n"
                  " configfile " + dir / "indented.conf" + "\n"  // not in column 1
                  "#configfile " + dir / "commented.conf" + "\nconfigfile      \nconfigfile # only a comment\n");
  WriteFile(dir / "a.conf", "configfile " + dir / "c.conf" + "\nconfigfile " + dir / "b.conf" + "\n");
  WriteFile(dir / "b.conf", "configfile " + dir / "a.conf" + "\n");
  WriteFile(dir / "c.conf", "Gc On");
  auto cfg = HTTPDConfigOpen(main);
  ASSERT_TRUE(cfg);
  EXPECT_THAT(Paths(*cfg), ElementsAre(main, dir / "a.conf", dir / "b.conf", dir / "c.conf"));
  EXPECT_FALSE(Exists(dir / "indented.conf") || Exists(dir / "commented.conf"));
  EXPECT_EQ(cfg->first()->lines.size(), 9u);  // include lines stay lines
  EXPECT_EQ(cfg->first()->next->prev, cfg->first());
  EXPECT_EQ(cfg->last()->next, nullptr);
  EXPECT_THAT(Texts(cfg->last()->lines), ElementsAre("Gc On"));
}

TEST(ConfigRead, IncludeNamesAndMissingFiles) {
  TempDir dir;
  char* previous = ::getcwd(nullptr, 0);  // relative names are created in the working directory
  ASSERT_EQ(::chdir(dir.path().c_str()), 0);
  WriteFile("main.conf", "configfileextra.conf\nconfigfile with\\#hash.conf#cut\r\nconfigfile\ttabbed.conf \t\r\n"
                         "rcaconfigfile missing.conf\n");
  auto cfg = HTTPDConfigOpen(std::string("main.conf"));
  ASSERT_TRUE(cfg);
  EXPECT_THAT(Paths(*cfg), ElementsAre("main.conf", "extra.conf", "with\\#hash.conf", "tabbed.conf", "missing.conf"));
  // Missing includes are created empty.
  for (const char* name : {"extra.conf", "with\\#hash.conf", "tabbed.conf", "missing.conf"}) EXPECT_EQ(ReadFile(name), "") << name;
  EXPECT_THAT(Texts(cfg->last()->lines), ElementsAre(""));
  EXPECT_EQ(HTTPDConfigWrite(*cfg), 0);
  EXPECT_EQ(ReadFile("missing.conf"), "");
  fs::remove("missing.conf");
  ConfigWriteReport report;
  EXPECT_EQ(HTTPDConfigWrite(*cfg, &report), -1);
  EXPECT_EQ(report.problem, ConfigWriteProblem::kFileChanged);
  EXPECT_EQ(report.path, "missing.conf");
  EXPECT_FALSE(Exists("missing.conf"));
  ASSERT_EQ(::chdir(previous), 0);
  std::free(previous);

  Lines list{"main"};
  for (const char* text : {"  a.conf  # note\n", " a.conf\n", "A.conf\n", "\t\r\n", "", "   #x\n", " b\\#1#2\n", "main"})
    HTTPDAddNewConfigFile(list, text);
  EXPECT_THAT(list, ElementsAre("main", "a.conf", "A.conf", "b\\#1"));
}

TEST(ConfigWrite, EditsReachTheFilesAndEmptyTextsVanish) {
  TempDir dir;
  const std::string inc = "configfile " + dir / "i.conf" + "\n";
  WriteFile(dir / "m.conf", "one\ntwo\n" + inc + "three");
  WriteFile(dir / "i.conf", "inc\n");
  auto cfg = HTTPDConfigOpen(dir / "m.conf");
  ASSERT_TRUE(cfg);
  cfg->first()->lines.first()->next->text = "";
  cfg->last()->lines.first()->text = "changed\r\n";
  EXPECT_EQ(HTTPDConfigWrite(*cfg), 0);
  EXPECT_EQ(ReadFile(dir / "m.conf"), "one\n" + inc + "three");
  EXPECT_EQ(ReadFile(dir / "i.conf"), "changed\r\n");
  // A line put after a last line without line end stays a line of its own.
  LinesAdd(cfg->first()->lines.last(), LineList::FromTexts({"", "four\n", "five"}));
  EXPECT_EQ(HTTPDConfigClose(std::move(cfg), true), 0);
  EXPECT_EQ(ReadFile(dir / "m.conf"), "one\n" + inc + "three\nfour\nfive");
  EXPECT_EQ(HTTPDConfigClose(nullptr, false), -1);
  EXPECT_EQ(HTTPDConfigClose(HTTPDConfigOpen(dir / "m.conf"), false), 0);

  // A line the reader would cut (over 1023 bytes) is never written.
  for (auto [line, fits] : {std::pair<std::string, bool>{"UserID " + std::string(1015, 'v') + "\n", true},
                            {"UserID a\nGroupID " + std::string(1014, 'g') + "\n", true},  // 9 + 1023 bytes
                            {"UserID a\nGroupID " + std::string(1015, 'g') + "\n", false},
                            {"UserID " + std::string(1016, 'v') + "\n", false}, {"UserID " + std::string(5000, 'v') + "\n", false}}) {
    WriteFile(dir / "u.conf", "UserID a\n");
    cfg = HTTPDConfigOpen(dir / "u.conf");
    cfg->first()->lines.first()->text = line;
    ConfigWriteReport report;
    EXPECT_EQ(std::tuple(HTTPDConfigLinesFit(*cfg), HTTPDConfigWrite(*cfg, &report)), std::tuple(fits, fits ? 0 : -1));
    EXPECT_EQ(report.problem, fits ? ConfigWriteProblem::kNone : ConfigWriteProblem::kLineTooLong) << line.size();
    EXPECT_EQ(ReadFile(dir / "u.conf"), fits ? line : "UserID a\n");
  }
  ConfigHandle handle;
  handle.AddFile(dir / "first.conf").lines.Append("first\n");
  handle.AddFile("").lines.Append("lost\n");
  ConfigWriteReport report;
  EXPECT_EQ(HTTPDConfigWrite(handle, &report), -1);
  EXPECT_EQ(report.problem, ConfigWriteProblem::kNoPath);
  EXPECT_FALSE(Exists(dir / "first.conf"));
  EXPECT_EQ(HTTPDConfigWrite(ConfigHandle()), 0);
}

TEST(ConfigWrite, KeepsModeOwnerAndLinks) {
  TempDir dir;
  WriteFile(dir / "real.conf", "Port 80\n");
  ASSERT_EQ(::chmod((dir / "real.conf").c_str(), 0640), 0);
  const bool root = ::geteuid() == 0;  // the owner is kept when the process may set it
  ASSERT_TRUE(!root || ::chown((dir / "real.conf").c_str(), 4321, 8765) == 0);
  ASSERT_EQ(::symlink("real.conf", (dir / "link.conf").c_str()), 0);
  // A dangling link: reading creates its target, writing goes through to it.
  ASSERT_EQ(::symlink((dir / "sub/target.conf").c_str(), (dir / "dangling.conf").c_str()), 0);
  ASSERT_EQ(::mkdir((dir / "sub").c_str(), 0755), 0);
  const std::string longest = dir.Write(std::string(250, 'n') + ".conf", "Port 80\n");  // a temporary still fits beside
  for (auto [name, target, text] : {std::tuple{dir / "link.conf", dir / "real.conf", "Port 8080\n"},
                                    {dir / "dangling.conf", dir / "sub/target.conf", "Gc Off\n"}, {longest, longest, "Port 81\n"}}) {
    auto cfg = HTTPDConfigOpen(name);
    ASSERT_TRUE(cfg);
    cfg->first()->lines.first()->text = text;
    ASSERT_EQ(HTTPDConfigWrite(*cfg), 0);
    EXPECT_EQ(ReadFile(target), text);
    EXPECT_TRUE(name == target || fs::is_symlink(name)) << name;
  }
  EXPECT_EQ(Mode(dir / "real.conf"), 0640u);
  struct stat st {};
  ASSERT_EQ(::stat((dir / "real.conf").c_str(), &st), 0);
  EXPECT_TRUE(!root || (st.st_uid == 4321u && st.st_gid == 8765u)) << st.st_uid << ":" << st.st_gid;
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 5);  // no temporary left
}

TEST(ConfigFile, WriteLineClassesAndCaseHelpers) {
  for (auto [line, kind] : std::initializer_list<std::pair<const char*, int>>{
           {"", 3}, {" \t\n", 3}, {"# comment here\n", 2}, {"  {\n", 2}, {"\"quoted\" x\n", 2}, {"a=b c\n", 2},
           {"user@host\n", 2}, {"xPicsRule-1.0 y\n", 2}, {"Caching\n", 4}, {"Port 80\n", 1}, {"  Port\t80", 1}}) {
    EXPECT_EQ(IsWriteLine(line), kind) << line;
  }
  std::string s = "MiXed-\xc3\x84 1";
  char buf[] = "AbC";
  EXPECT_EQ(strupr(s), "MIXED-\xc3\x84 1");
  EXPECT_EQ(strlwr(s), "mixed-\xc3\x84 1");
  EXPECT_STREQ(strupr(buf), "ABC");
  EXPECT_STREQ(strlwr(buf), "abc");
  EXPECT_EQ(strupr(static_cast<char*>(nullptr)), nullptr);
  EXPECT_EQ(stricmp(std::string("Gc"), std::string_view("gC")), 0);
}

}  // namespace
}  // namespace cfgout
