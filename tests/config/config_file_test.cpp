#include "config/config_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "config/temp_files.h"

namespace cfgout {
namespace {

using ::testing::ElementsAre;
using testing::CheckLinks;
using testing::Exists;
using testing::ReadFile;
using testing::TempDir;
using testing::Texts;
using testing::WriteFile;

std::vector<std::string> Paths(const ConfigHandle& cfg) {
  std::vector<std::string> out;
  for (const ConfigFile& f : cfg) out.push_back(f.path);
  return out;
}

// Reads `bytes` as a main file and writes it back; returns what was written.
std::string RoundTrip(const TempDir& dir, const std::string& bytes) {
  const std::string path = dir / "rt.conf";
  WriteFile(path, bytes);
  auto cfg = HTTPDConfigOpen(path);
  if (!cfg) return "<open failed>";
  WriteFile(path, "clobbered");
  if (HTTPDConfigWrite(*cfg) != 0) return "<write failed>";
  return ReadFile(path);
}

TEST(ConfigRead, LinesKeepTheirTerminatorsAndALastNode) {
  TempDir dir;
  WriteFile(dir / "a.conf", "Port 80\r\nGc On\n\nlast");
  auto cfg = HTTPDConfigOpen(dir / "a.conf");
  ASSERT_TRUE(cfg);
  EXPECT_EQ(cfg->file_count(), 1u);
  EXPECT_THAT(Texts(cfg->first()->lines), ElementsAre("Port 80\r\n", "Gc On\n", "\n", "last"));

  WriteFile(dir / "b.conf", "x\n");
  cfg = HTTPDConfigOpen(dir / "b.conf");
  EXPECT_THAT(Texts(cfg->first()->lines), ElementsAre("x\n", ""));

  WriteFile(dir / "empty.conf", "");
  cfg = HTTPDConfigOpen(dir / "empty.conf");
  EXPECT_THAT(Texts(cfg->first()->lines), ElementsAre(""));
}

TEST(ConfigRead, LongLinesAreSplitAt1023BytesAndRejoined) {
  TempDir dir;
  const std::string longLine = std::string(2000, 'x') + "\n";
  WriteFile(dir / "long.conf", "a\n" + longLine + std::string(1023, 'y') + "\nz");
  auto cfg = HTTPDConfigOpen(dir / "long.conf");
  ASSERT_TRUE(cfg);
  const auto texts = Texts(cfg->first()->lines);
  ASSERT_EQ(texts.size(), 6u);
  EXPECT_EQ(texts[0], "a\n");
  EXPECT_EQ(texts[1], std::string(1023, 'x'));
  EXPECT_EQ(texts[2], std::string(977, 'x') + "\n");
  // Exactly 1023 bytes before the line feed: the line feed starts a node of its own.
  EXPECT_EQ(texts[3], std::string(1023, 'y'));
  EXPECT_EQ(texts[4], "\n");
  EXPECT_EQ(texts[5], "z");
  EXPECT_EQ(CheckLinks(cfg->first()->lines.first()), 6u);

  // Lines longer than the read buffer, too.
  const std::string huge = "k " + std::string(200000, 'h') + "\r\n" + std::string(70000, '\n');
  EXPECT_EQ(RoundTrip(dir, huge), huge);
}

// A piece that continues a cut line is never a directive or an include, is
// removed with the line it continues, and no line goes between them.
TEST(ConfigRead, ContinuationPiecesBelongToTheirLine) {
  TempDir dir;
  const std::string head = "UserID " + std::string(1016, 'u');  // 1023 bytes: the cut
  const std::string tail = "configfile " + dir / "evil.conf" + "\n";
  WriteFile(dir / "m.conf", "Port 80\n" + head + tail + "GroupID g\n");
  auto cfg = HTTPDConfigOpen(dir / "m.conf");
  ASSERT_TRUE(cfg);
  EXPECT_EQ(cfg->file_count(), 1u);
  EXPECT_FALSE(Exists(dir / "evil.conf"));
  struct Case {
    const char* keyword;
    std::size_t instances;
  };
  for (const Case& c : {Case{"configfile", 0}, Case{"userid", 1}, Case{"groupid", 1}}) {
    EXPECT_EQ(HTTPDGetRules(*cfg, HTTPDRuleToID(c.keyword)).size(), c.instances) << c.keyword;
  }
  // Adding after the long line goes after its last piece.
  HTTPDAddRules(*cfg, HTTPDRuleToID("userid"), LineList::FromTexts({"UserID second\n"}));
  EXPECT_THAT(Texts(cfg->first()->lines), ElementsAre("Port 80\n", head, tail, "UserID second\n", "GroupID g\n", ""));
  // Replacing the directive removes the long line with every piece.
  HTTPDReplaceRules(*cfg, HTTPDRuleToID("userid"), LineList::FromTexts({"UserID u\n"}), 0);
  EXPECT_THAT(Texts(cfg->first()->lines), ElementsAre("Port 80\n", "UserID u\n", "GroupID g\n", ""));
  EXPECT_EQ(CheckLinks(cfg->first()->lines.first()), 4u);
}

// A page-built line that the reader would cut is never written.
TEST(ConfigWrite, LineLongerThanTheReaderTakesWritesNothing) {
  TempDir dir;
  WriteFile(dir / "m.conf", "UserID a\n");
  struct Case {
    std::size_t valueLength;
    bool fits;
  };
  // "UserID " is 7 bytes, the line feed 1: 1015 value bytes make 1023.
  for (const Case& c : {Case{1015, true}, Case{1016, false}, Case{5000, false}}) {
    auto cfg = HTTPDConfigOpen(dir / "m.conf");
    ASSERT_TRUE(cfg);
    const std::string line = "UserID " + std::string(c.valueLength, 'v') + "\n";
    cfg->first()->lines.first()->text = line;
    ConfigWriteReport report;
    EXPECT_EQ(HTTPDConfigLinesFit(*cfg), c.fits) << c.valueLength;
    EXPECT_EQ(HTTPDConfigWrite(*cfg, &report), c.fits ? 0 : -1) << c.valueLength;
    EXPECT_EQ(report.problem, c.fits ? ConfigWriteProblem::kNone : ConfigWriteProblem::kLineTooLong);
    EXPECT_EQ(ReadFile(dir / "m.conf"), c.fits ? line : "UserID a\n");
    WriteFile(dir / "m.conf", "UserID a\n");
  }
}

// Only regular files are read; anything else is noted as refused, and the
// configuration then refuses to be written.
TEST(ConfigRead, OnlyRegularFilesAreRead) {
  TempDir dir;
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  ASSERT_EQ(::symlink("/dev/zero", (dir / "zero-link").c_str()), 0);
  WriteFile(dir / "huge.conf", "");
  ASSERT_EQ(::truncate((dir / "huge.conf").c_str(), static_cast<off_t>(kMaxConfigBytes) + 1), 0);
  struct Case {
    std::string include;
    std::vector<ConfigRefusal> refused;
    std::size_t files;
  };
  const std::vector<Case> cases = {
      {dir / "fifo", {ConfigRefusal::kNotRegularFile}, 1},
      {"/dev/zero", {ConfigRefusal::kNotRegularFile}, 1},
      {dir / "zero-link", {ConfigRefusal::kNotRegularFile}, 1},
      {dir.path(), {ConfigRefusal::kNotRegularFile}, 1},
      {dir / "huge.conf", {ConfigRefusal::kTooLarge}, 2},
      {dir / "plain.conf", {}, 2},
  };
  WriteFile(dir / "plain.conf", "Port 81\n");
  for (const Case& c : cases) {
    WriteFile(dir / "m.conf", "Port 80\nconfigfile " + c.include + "\n");
    auto cfg = HTTPDConfigOpen(dir / "m.conf");
    ASSERT_TRUE(cfg) << c.include;
    std::vector<ConfigRefusal> reasons;
    for (const ConfigRefusedFile& f : cfg->refused()) {
      EXPECT_EQ(f.path, c.include);
      reasons.push_back(f.reason);
    }
    EXPECT_EQ(reasons, c.refused) << c.include;
    EXPECT_EQ(cfg->file_count(), c.files) << c.include;
    ConfigWriteReport report;
    EXPECT_EQ(HTTPDConfigWrite(*cfg, &report), c.refused.empty() ? 0 : -1) << c.include;
  }
  // A main file that is no regular file is not opened at all.
  EXPECT_FALSE(HTTPDConfigOpen(dir / "fifo"));
}

TEST(ConfigRead, OneFileUnderTwoNamesIsReadOnce) {
  TempDir dir;
  std::filesystem::create_directory(dir / "sub");
  WriteFile(dir / "sub/a.conf", "Gc On\n");
  ASSERT_EQ(::symlink((dir / "sub/a.conf").c_str(), (dir / "link.conf").c_str()), 0);
  WriteFile(dir / "m.conf", "configfile " + dir / "sub/a.conf\nconfigfile " + dir.path() + "//sub/./a.conf\n" +
                                "configfile " + dir / "link.conf\nconfigfile " + dir / "m.conf\n");
  auto cfg = HTTPDConfigOpen(dir / "m.conf");
  ASSERT_TRUE(cfg);
  EXPECT_THAT(Paths(*cfg), ElementsAre(dir / "m.conf", dir / "sub/a.conf"));
  EXPECT_TRUE(cfg->refused().empty());
}

// Missing files are created private whatever the umask: the main file's
// permission bits at most, never more than 0640.
TEST(ConfigRead, CreatedFilesArePrivate) {
  TempDir dir;
  struct Case {
    mode_t mainMode;
    mode_t created;
  };
  const mode_t previous = ::umask(0);
  for (const Case& c : {Case{0600, 0600}, Case{0644, 0640}, Case{0666, 0640}, Case{0400, 0600}}) {
    WriteFile(dir / "m.conf", "configfile " + dir / "new.conf" + "\n");
    ASSERT_EQ(::chmod((dir / "m.conf").c_str(), c.mainMode), 0);
    ASSERT_TRUE(HTTPDConfigOpen(dir / "m.conf"));
    struct stat st {};
    ASSERT_EQ(::stat((dir / "new.conf").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, c.created) << std::oct << c.mainMode;
    std::filesystem::remove(dir / "new.conf");
  }
  ASSERT_TRUE(HTTPDConfigOpen(dir / "missing-main.conf"));
  struct stat st {};
  ASSERT_EQ(::stat((dir / "missing-main.conf").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  ::umask(previous);
}

TEST(ConfigRead, RoundTripIsByteExact) {
  TempDir dir;
  const std::string cases[] = {
      "",
      "\n",
      "no final newline",
      "Port 80\r\nGc On\r\n",
      std::string("nul\0inside\nand\0\0end", 20),
      "bad utf8 \xff\xfe\xc3\x28 \x80\n\r\r\n\n",
      std::string(1023, 'a'),
      std::string(1024, 'b'),
      std::string(2046, 'c') + "\n",
  };
  for (const std::string& bytes : cases) EXPECT_EQ(RoundTrip(dir, bytes), bytes);
}

TEST(ConfigRead, IncludesAreReadBreadthFirstOnce) {
  TempDir dir;
  const std::string main = dir / "main.conf";
  WriteFile(main, "Port 80\n"
                  "ConfigFile " + dir / "a.conf" + "\n"
                  "configfile " + main + "\n"                 // itself: read once
                  "RCACONFIGFILE   " + dir / "b.conf" + "   # a comment\n"
                  " configfile " + dir / "indented.conf" + "\n"  // not in column 1
                  "#configfile " + dir / "commented.conf" + "\n"
                  "configfile      \n"                        // names nothing
                  "configfile # only a comment\n");
  WriteFile(dir / "a.conf", "configfile " + dir / "c.conf" + "\nconfigfile " + dir / "b.conf" + "\n");
  WriteFile(dir / "b.conf", "configfile " + dir / "a.conf" + "\n");
  WriteFile(dir / "c.conf", "Gc On");
  auto cfg = HTTPDConfigOpen(main);
  ASSERT_TRUE(cfg);
  EXPECT_THAT(Paths(*cfg), ElementsAre(main, dir / "a.conf", dir / "b.conf", dir / "c.conf"));
  EXPECT_FALSE(Exists(dir / "indented.conf"));
  EXPECT_FALSE(Exists(dir / "commented.conf"));
  // Include lines stay in the list like any other line.
  EXPECT_EQ(cfg->first()->lines.size(), 9u);
  EXPECT_EQ(cfg->first()->next->prev, cfg->first());
  EXPECT_EQ(cfg->last()->next, nullptr);
  EXPECT_THAT(Texts(cfg->last()->lines), ElementsAre("Gc On"));
}

TEST(ConfigRead, IncludeNameRulesAndMissingFiles) {
  TempDir dir;
  // Run in the directory so that relative names are created there.
  char* previous = ::getcwd(nullptr, 0);
  ASSERT_EQ(::chdir(dir.path().c_str()), 0);
  WriteFile("main.conf",
            "configfileextra.conf\n"          // letters only are compared: names "extra.conf"
            "configfile with\\#hash.conf#cut\r\n"
            "configfile\ttabbed.conf \t\r\n"
            "rcaconfigfile missing.conf\n");
  auto cfg = HTTPDConfigOpen(std::string("main.conf"));
  ASSERT_TRUE(cfg);
  EXPECT_THAT(Paths(*cfg),
              ElementsAre("main.conf", "extra.conf", "with\\#hash.conf", "tabbed.conf", "missing.conf"));
  // Missing included files are created empty and kept.
  for (const char* name : {"extra.conf", "with\\#hash.conf", "tabbed.conf", "missing.conf"}) {
    EXPECT_EQ(ReadFile(name), "") << name;
  }
  EXPECT_THAT(Texts(cfg->last()->lines), ElementsAre(""));
  EXPECT_EQ(HTTPDConfigWrite(*cfg), 0);
  EXPECT_EQ(ReadFile("missing.conf"), "");  // written back, empty
  // Removed since it was read: the name no longer leads to the file read,
  // and nothing is written.
  std::remove("missing.conf");
  ConfigWriteReport report;
  EXPECT_EQ(HTTPDConfigWrite(*cfg, &report), -1);
  EXPECT_EQ(report.problem, ConfigWriteProblem::kFileChanged);
  EXPECT_EQ(report.path, "missing.conf");
  EXPECT_FALSE(Exists("missing.conf"));
  ASSERT_EQ(::chdir(previous), 0);
  std::free(previous);
}

TEST(ConfigRead, IncludeListRules) {
  std::vector<std::string> list{"main"};
  HTTPDAddNewConfigFile(list, "  a.conf  # note\n");
  HTTPDAddNewConfigFile(list, " a.conf\n");              // already listed
  HTTPDAddNewConfigFile(list, "A.conf\n");               // case-sensitive names
  HTTPDAddNewConfigFile(list, "\t\r\n");
  HTTPDAddNewConfigFile(list, "");
  HTTPDAddNewConfigFile(list, "   #x\n");
  HTTPDAddNewConfigFile(list, " b\\#1#2\n");
  HTTPDAddNewConfigFile(list, "main");
  EXPECT_THAT(list, ElementsAre("main", "a.conf", "A.conf", "b\\#1"));
}

TEST(ConfigOpen, FailuresGiveNull) {
  EXPECT_EQ(HTTPDConfigOpen(static_cast<const char*>(nullptr)), nullptr);
  EXPECT_EQ(HTTPDConfigOpen(std::string()), nullptr);
  TempDir dir;
  // A main file in a directory that does not exist cannot even be created.
  EXPECT_EQ(HTTPDConfigOpen(dir / "no/such/dir.conf"), nullptr);
  // An include that cannot be opened at all is left out silently.
  WriteFile(dir / "m.conf", "configfile " + dir / "no/such/inc.conf" + "\n");
  auto cfg = HTTPDConfigOpen(dir / "m.conf");
  ASSERT_TRUE(cfg);
  EXPECT_EQ(cfg->file_count(), 1u);
}

TEST(ConfigWrite, EditsReachTheFilesAndEmptyTextsVanish) {
  TempDir dir;
  WriteFile(dir / "m.conf", "one\ntwo\nconfigfile " + dir / "i.conf" + "\nthree");
  WriteFile(dir / "i.conf", "inc\n");
  auto cfg = HTTPDConfigOpen(dir / "m.conf");
  ASSERT_TRUE(cfg);
  cfg->first()->lines.first()->next->text.clear();
  cfg->last()->lines.first()->text = "changed\r\n";
  EXPECT_EQ(HTTPDConfigWrite(*cfg), 0);
  EXPECT_EQ(ReadFile(dir / "m.conf"), "one\nconfigfile " + dir / "i.conf" + "\nthree");
  EXPECT_EQ(ReadFile(dir / "i.conf"), "changed\r\n");

  // A line put after the last one, which has no line end, stays a line of
  // its own (an emptied line in between changes nothing); the last line
  // still ends as it did.
  LineNode& last = *cfg->first()->lines.last();
  LinesAdd(&last, LineList::FromTexts({"", "four\n", "five"}));
  EXPECT_EQ(HTTPDConfigWrite(*cfg), 0);
  EXPECT_EQ(ReadFile(dir / "m.conf"), "one\nconfigfile " + dir / "i.conf" + "\nthree\nfour\nfive");

  EXPECT_EQ(HTTPDConfigClose(std::move(cfg), true), 0);
  EXPECT_EQ(HTTPDConfigClose(nullptr, false), -1);
  EXPECT_EQ(HTTPDConfigClose(HTTPDConfigOpen(dir / "m.conf"), false), 0);
}

TEST(ConfigWrite, KeepsModeAndWritesThroughSymbolicLinks) {
  TempDir dir;
  WriteFile(dir / "real.conf", "Port 80\n");
  ASSERT_EQ(::chmod((dir / "real.conf").c_str(), 0640), 0);
  ASSERT_EQ(::symlink("real.conf", (dir / "link.conf").c_str()), 0);
  auto cfg = HTTPDConfigOpen(dir / "link.conf");
  ASSERT_TRUE(cfg);
  cfg->first()->lines.first()->text = "Port 8080\n";
  ASSERT_EQ(HTTPDConfigWrite(*cfg), 0);

  struct stat st {};
  ASSERT_EQ(::lstat((dir / "link.conf").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(ReadFile(dir / "real.conf"), "Port 8080\n");
  ASSERT_EQ(::stat((dir / "real.conf").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  // No temporary file is left behind.
  int entries = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path())) ++entries;
  EXPECT_EQ(entries, 2);

  // The owner is kept when the process may set it (tests usually run as root).
  if (::geteuid() == 0) {
    ASSERT_EQ(::chown((dir / "real.conf").c_str(), 4321, 8765), 0);
    cfg->first()->lines.first()->text = "Port 8081\n";
    ASSERT_EQ(HTTPDConfigWrite(*cfg), 0);
    ASSERT_EQ(::stat((dir / "real.conf").c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 4321u);
    EXPECT_EQ(st.st_gid, 8765u);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
  }

  // A dangling link: reading creates its target, writing goes through to it.
  ASSERT_EQ(::symlink((dir / "sub/target.conf").c_str(), (dir / "dangling.conf").c_str()), 0);
  ASSERT_EQ(::mkdir((dir / "sub").c_str(), 0755), 0);
  cfg = HTTPDConfigOpen(dir / "dangling.conf");
  ASSERT_TRUE(cfg);
  cfg->first()->lines.first()->text = "Gc Off\n";
  ASSERT_EQ(HTTPDConfigWrite(*cfg), 0);
  EXPECT_EQ(ReadFile(dir / "sub/target.conf"), "Gc Off\n");
  ASSERT_EQ(::lstat((dir / "dangling.conf").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
}

TEST(ConfigWrite, LongestFileNameStillGetsATemporaryBesideIt) {
  TempDir dir;
  const std::string name = dir / (std::string(250, 'n') + ".conf");
  WriteFile(name, "Port 80\n");
  auto cfg = HTTPDConfigOpen(name);
  ASSERT_TRUE(cfg);
  cfg->first()->lines.first()->text = "Port 81\n";
  EXPECT_EQ(HTTPDConfigWrite(*cfg), 0);
  EXPECT_EQ(ReadFile(name), "Port 81\n");
}

TEST(ConfigWrite, RecordWithoutPathWritesNothing) {
  TempDir dir;
  ConfigHandle cfg;
  cfg.AddFile(dir / "first.conf").lines.Append("first\n");
  cfg.AddFile("").lines.Append("lost\n");
  cfg.AddFile(dir / "third.conf").lines.Append("third\n");
  EXPECT_EQ(HTTPDConfigWrite(cfg), -1);
  EXPECT_FALSE(Exists(dir / "first.conf"));
  EXPECT_FALSE(Exists(dir / "third.conf"));
  EXPECT_EQ(HTTPDConfigWrite(ConfigHandle()), 0);
}

TEST(IsWriteLine, Classes) {
  EXPECT_EQ(IsWriteLine(""), 3);
  EXPECT_EQ(IsWriteLine(" \t\n"), 3);
  EXPECT_EQ(IsWriteLine("# comment here\n"), 2);
  EXPECT_EQ(IsWriteLine("  {\n"), 2);
  EXPECT_EQ(IsWriteLine("\"quoted\" x\n"), 2);
  EXPECT_EQ(IsWriteLine("a=b c\n"), 2);
  EXPECT_EQ(IsWriteLine("user@host\n"), 2);
  EXPECT_EQ(IsWriteLine("xPicsRule-1.0 y\n"), 2);
  EXPECT_EQ(IsWriteLine("Caching\n"), 4);
  EXPECT_EQ(IsWriteLine("Port 80\n"), 1);
  EXPECT_EQ(IsWriteLine("  Port\t80"), 1);
}

TEST(CaseHelpers, AsciiOnly) {
  std::string s = "MiXed-\xc3\x84 1";
  EXPECT_EQ(strupr(s), "MIXED-\xc3\x84 1");
  EXPECT_EQ(strlwr(s), "mixed-\xc3\x84 1");
  char buf[] = "AbC";
  EXPECT_STREQ(strupr(buf), "ABC");
  EXPECT_STREQ(strlwr(buf), "abc");
  EXPECT_EQ(strupr(static_cast<char*>(nullptr)), nullptr);
  EXPECT_EQ(stricmp("PORT", "port"), 0);
  EXPECT_LT(stricmp("port", "portx"), 0);
  EXPECT_GT(stricmp("b", "A"), 0);
  EXPECT_EQ(strnicmp("PORTX", "porty", 4), 0);
  EXPECT_NE(strnicmp("PORTX", "porty", 5), 0);
  EXPECT_EQ(strnicmp("ab", "AB", 10), 0);
  EXPECT_LT(stricmp(nullptr, "a"), 0);
  EXPECT_EQ(stricmp(std::string("Gc"), std::string_view("gC")), 0);
}

}  // namespace
}  // namespace cfgout
