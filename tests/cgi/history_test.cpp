// The change history as a black box: requests of cfgout_fixture, then the
// files and the history they leave. Each row is one scenario.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <string_view>
#include <vector>

#include "cgi/page_table.h"
#include "config/config_file.h"
#include "history/change_history.h"
#include "history/git_library.h"
#include "history/git_objects.h"
#include "support/temp_dir.h"

namespace cfgout::testing {
namespace {

struct Step {
  const char* method;
  const char* page;
  std::string body;  // "@HEAD@" / "@HEAD~1@": the id of that change at the time of the step
  const char* user = "admin";
};

struct Scenario {
  const char* name;
  const char* main;  // "@INC@" stands for the included file's path
  const char* included;
  std::vector<Step> steps;
  int commits;  // in the history afterwards; 0 = no history at all
  const char* mainAfter;
  const char* includedAfter;
  const char* statusType;
  std::string statusText;  // "@MAIN@" stands for the main file's path; a prefix when it ends in "..."
  const char* summary = "";  // of the newest change; a prefix when it ends in "..."
  const char* author = "";
  std::vector<std::string> fields = {};
  std::vector<std::string> changedFiles = {};
  bool historyIsAFile = false;
};

const std::string kDone = "T12 done";
constexpr const char* kMain = "HostName a.example\nPort 80\nconfigfile @INC@\n";

// A main file with a line longer than the reader takes at once.
const std::string kLongMain = "# m\nPass /" + std::string(1500, 'p') + " /x\nconfigfile @INC@\n";

const Scenario kScenarios[] = {
    {"a post records the files as they were, then the change", kMain, "UserID nobody\n",
     {{"POST", "BASIC", "HostName=b.example&UserID=www&HostName=b.example"}}, 2,
     "Port 80\nHostName       b.example\nconfigfile @INC@\n", "UserID       www\n", "1", kDone,
     "BASIC: HostName, UserID", "admin", {"HostName", "UserID"}, {"inc.conf", "main.conf"}},
    {"a rejected field records nothing", kMain, "UserID nobody\n",
     {{"POST", "BASIC", "HostName=b.example&AdminPort=99999"}}, 0, kMain, "UserID nobody\n", "3", "...", ""},
    {"a GET records nothing", kMain, "UserID nobody\n", {{"GET", "BASIC", ""}}, 0, kMain, "UserID nobody\n", "0",
     "T11 ready"},
    {"only the fields that changed a directive are named; no REMOTE_USER is unknown", kMain, "",
     {{"POST", "BASIC", "UserID=x&PUSHBUTTON=Apply&DNSLOOKUP=on", nullptr}}, 2,
     "HostName a.example\nPort 80\nconfigfile @INC@\nUserID       x\nDNS-Lookup       on\n", "", "1", kDone,
     "BASIC: UserID, DNSLOOKUP", "unknown", {"UserID", "DNSLOOKUP"}, {"main.conf"}},
    {"undo of the latest change gives back every byte", "HostName a.example\r\nPort 80\r\nconfigfile @INC@",
     "UserID nobody",
     {{"POST", "BASIC", "HostName=b.example"}, {"POST", "HISTORY", "UNDO=@HEAD@"}}, 3,
     "HostName a.example\r\nPort 80\r\nconfigfile @INC@", "UserID nobody", "1", "The change has been undone.",
     "Undo of change ...", "admin", {"HostName"}, {"main.conf"}},
    {"undo gives back a file with a line longer than the reader takes", kLongMain.c_str(), "UserID nobody\n",
     {{"POST", "BASIC", "HostName=b.example"}, {"POST", "HISTORY", "UNDO=@HEAD@"}}, 3, kLongMain.c_str(),
     "UserID nobody\n", "1", "The change has been undone.", "Undo of change ...", "admin", {"HostName"},
     {"main.conf"}},
    {"undo of a change whose file changed since is refused", kMain, "UserID nobody\n",
     {{"POST", "BASIC", "HostName=b.example"}, {"POST", "BASIC", "HostName=c.example"},
      {"POST", "HISTORY", "UNDO=@HEAD~1@"}},
     3, "Port 80\nHostName       c.example\nconfigfile @INC@\n", "UserID nobody\n", "3",
     "The change cannot be undone: @MAIN@ has been changed since.", "BASIC: HostName"},
    {"the first recorded state has nothing to undo", kMain, "UserID nobody\n",
     {{"POST", "BASIC", "UserID=www"}, {"POST", "HISTORY", "UNDO=@HEAD~1@"}}, 2, kMain, "UserID       www\n", "3",
     "The first recorded configuration has no earlier state to return to.", "BASIC: UserID"},
    {"an unknown change is refused", kMain, "UserID nobody\n",
     {{"POST", "HISTORY", "UNDO=0123456789012345678901234567890123456789"}}, 0, kMain, "UserID nobody\n", "3",
     "That change is not in the change history."},
    {"a write-back that changes no byte records nothing more", kMain, "UserID nobody\n",
     {{"POST", "BASIC", "UserID=www"}, {"POST", "BASIC", "UserID=www"}}, 2, kMain, "UserID       www\n", "1", kDone,
     "BASIC: UserID"},
    {"a line added after a last line without line end is recorded as written", "HostName a.example\nconfigfile @INC@",
     "", {{"POST", "BASIC", "UserID=x"}}, 2, "HostName a.example\nconfigfile @INC@\nUserID       x\n", "", "1", kDone,
     "BASIC: UserID", "admin", {"UserID"}, {"main.conf"}},
    {"a history that cannot be written leaves the change with a warning", kMain, "UserID nobody\n",
     {{"POST", "BASIC", "UserID=www"}}, 0, kMain, "UserID       www\n", "2",
     "The changes have been made, but they could not be recorded in the change history: ...", "", "", {}, {}, true},
};

// The bytes of `treePath` in the newest commit, read by git itself.
std::string Recorded(const std::string& history, const char* treePath) {
  const CgiResult r = RunCommand({CFGOUT_GIT, "--git-dir=" + history, "show", std::string("HEAD:") + treePath}, {});
  return r.exitStatus == 0 ? r.out : "<not recorded>";
}

// git finds every object whole, named by its hash, and every tree and commit well formed.
void ExpectSound(const std::string& history) {
  const CgiResult r = RunCommand({CFGOUT_GIT, "--git-dir=" + history, "fsck", "--strict", "--no-dangling"}, {});
  EXPECT_EQ(r.exitStatus, 0) << r.out << r.err;
  EXPECT_EQ(r.out + r.err, "");
}

// Equal, or starting with `expected` less its "..." when it ends in one.
void ExpectText(const std::string& actual, const std::string& expected, const char* what) {
  if (expected.size() >= 3 && expected.compare(expected.size() - 3, 3, "...") == 0) {
    EXPECT_EQ(actual.substr(0, expected.size() - 3), expected.substr(0, expected.size() - 3)) << what;
  } else {
    EXPECT_EQ(actual, expected) << what;
  }
}

class HistoryTest : public ::testing::TestWithParam<Scenario> {
 protected:
  CgiResult Request(const char* method, const char* page, const std::string& body, const char* user,
                    const std::string& query = {}) {
    CgiEnvironment env{{"PACKAGE_TYPE", "3"}, {"SERVER_ROOT", dir_.path()}, {"RULE_FILE", main_}, {"REMOTE_ADDR", "10.1.2.3"}};
    if (!query.empty()) env["QUERY_STRING"] = query;
    if (user != nullptr) env["REMOTE_USER"] = user;
    return RunFixture(env, page, std::string_view(method) == "POST" ? std::optional<std::string>(body) : std::nullopt);
  }

  ChangeList Changes(int skip = 0, int count = 1000) {
    std::string error;
    std::optional<ChangeList> list = ListChanges(main_, skip, count, error);
    EXPECT_TRUE(list.has_value()) << error;
    return list.value_or(ChangeList{});
  }

  TempDir dir_{"cfgout-history"};
  std::string main_ = dir_ / "main.conf";
  std::string included_ = dir_ / "inc.conf";
};

TEST_P(HistoryTest, RecordsAndUndoes) {
  const Scenario& s = GetParam();
  WriteFile(main_, Replace(s.main, "@INC@", included_));
  WriteFile(included_, s.included);
  if (s.historyIsAFile) WriteFile(HistoryPathFor(main_), "not a repository\n");

  CgiResult last;
  for (const Step& step : s.steps) {
    std::string body = step.body;
    if (body.find("@HEAD") != std::string::npos) {
      const ChangeList now = Changes();
      ASSERT_GE(now.entries.size(), 2u);
      body = Replace(Replace(body, "@HEAD@", now.entries[0].id), "@HEAD~1@", now.entries[1].id);
    }
    last = Request(step.method, step.page, body, step.user);
    ASSERT_EQ(last.exitStatus, 0) << last.err;
  }

  EXPECT_EQ(ReadFile(main_), Replace(s.mainAfter, "@INC@", included_));
  EXPECT_EQ(ReadFile(included_), s.includedAfter);
  EXPECT_EQ(Line(last.out, "type"), s.statusType);
  ExpectText(Line(last.out, "text"), Replace(s.statusText, "@MAIN@", main_), "status text");

  if (s.historyIsAFile) return;
  struct stat st {};
  if (s.commits == 0) {
    EXPECT_NE(::stat(HistoryPathFor(main_).c_str(), &st), 0) << "a history was created";
    return;
  }
  const ChangeList changes = Changes();
  ASSERT_EQ(changes.entries.size(), static_cast<std::size_t>(s.commits));
  ExpectSound(HistoryPathFor(main_));
  // The newest commit holds every file byte for byte as it is on disk (the
  // included file only where the configuration reaches it: an include line
  // without a line end is not followed).
  EXPECT_EQ(Recorded(HistoryPathFor(main_), "main.conf"), ReadFile(main_));
  const std::string included = Recorded(HistoryPathFor(main_), "inc.conf");
  if (included != "<not recorded>") {
    EXPECT_EQ(included, ReadFile(included_));
  }
  EXPECT_TRUE(changes.entries.back().isStart);
  const ChangeEntry& newest = changes.entries.front();
  ExpectText(newest.summary, s.summary, "summary");
  if (*s.author != '\0') {
    EXPECT_EQ(newest.author, s.author);
    EXPECT_EQ(newest.fields, s.fields);
    EXPECT_EQ(newest.address, "10.1.2.3");
    std::vector<std::string> files;
    for (const FileDiff& file : newest.files) files.push_back(file.path);
    EXPECT_EQ(files, s.changedFiles);
  }
}

INSTANTIATE_TEST_SUITE_P(Scenarios, HistoryTest, ::testing::ValuesIn(kScenarios),
                         [](const auto& info) { return "scenario" + std::to_string(info.index); });

TEST_F(HistoryTest, PageShowsEscapedDiffsUndoButtonsAndPages) {
  WriteFile(main_, "UserID a\n");
  WriteFile(included_, "");
  EXPECT_EQ(Line(Request("GET", "HISTORY", "", "admin").out, "list"), "<p>No change has been recorded yet.</p>");

  ASSERT_EQ(Request("POST", "BASIC", "UserID=%3Cb%3E%25s", "ad<min>").exitStatus, 0);
  const std::string page = Request("GET", "HISTORY", "", "admin").out;
  ASSERT_EQ(Changes().entries.size(), 2u);
  const std::string id = Changes().entries.front().id;
  const std::string anchor = "change-" + id.substr(0, 12);
  const std::string list = page.substr(page.find("list=") + 5, page.find("\nlinks=") - page.find("list=") - 5);
  EXPECT_NE(list.find("<h2 id=\"" + anchor + "\">BASIC: UserID</h2>"), std::string::npos) << list;
  EXPECT_NE(list.find("<dt>Author</dt><dd>admin</dd><dt>Page</dt><dd>BASIC</dd><dt>Address</dt><dd>10.1.2.3</dd>"),
            std::string::npos) << list;
  EXPECT_NE(list.find("<h3 id=\"" + anchor + "-f0\">main.conf</h3>\n<pre class=\"diff\"><span class=\"hunk\">@@ -1 +1 @@</span>"
                      "<del><span class=\"visually-hidden\">Removed: </span>-UserID a</del>"
                      "<ins><span class=\"visually-hidden\">Added: </span>+UserID       &lt;b&gt;%s</ins></pre>"),
            std::string::npos) << list;
  EXPECT_NE(list.find("<input type=\"hidden\" name=\"UNDO\" value=\"" + id + "\"><button type=\"submit\" class=\"secondary\" "
                      "aria-describedby=\"" + anchor + "\">Undo this change</button>"),
            std::string::npos) << list;
  EXPECT_NE(list.find("The configuration as it was when recording began."), std::string::npos);
  EXPECT_EQ(Line(page, "links"), "");

  // 52 more changes: the second page holds the oldest three, a link back and none further.
  for (int i = 0; i < 52; ++i) {
    WriteFile(main_, "UserID u" + std::to_string(i) + "\n");
    std::unique_ptr<ConfigHandle> cfg = HTTPDConfigOpen(main_);
    ASSERT_EQ(RecordChange(*cfg, ChangeNote{"BASIC", {"UserID"}, "admin", "", ""}, HistorySnapshot{}), "");
  }
  EXPECT_EQ(Line(Request("GET", "HISTORY", "", "admin").out, "links"),
            "<a href=\"HISTORY?page=2\" rel=\"next\">Older changes</a>");
  const std::string second = Request("GET", "HISTORY", "", "admin", "page=2").out;
  EXPECT_EQ(Line(second, "links"), "<a href=\"HISTORY?page=1\" rel=\"prev\">Newer changes</a>");
  EXPECT_EQ(Changes(50, 50).entries.size(), 4u);  // 54 in all: the start, the page's change, 52 more
}

// A change is stored without libgit2 while the history's objects and branch
// are loose, the files plain text and their names plain; else (after git
// gc, a control character, a name with "~", a reflog setting) libgit2
// records it. Both write alike.
TEST_F(HistoryTest, StoresChangesWithoutTheLibraryWhileObjectsAreLoose) {
  // The included file in a subfolder: a tree below the top one.
  included_ = dir_.Write("sub/inc.conf", "Port 80\n");
  const std::string history = HistoryPathFor(main_);
  const struct {
    const char* text;
    std::vector<std::string> git;  // run on the history first
    bool direct;
  } rows[] = {{"UserID a\n", {}, false},
              {"UserID b\n", {}, true},
              {"UserID c\n", {"gc", "-q"}, false},
              {"UserID c\x01\n", {}, false},
              {"UserID e\nconfigfile @DIR@/odd~.conf\n", {}, false},
              {"UserID d\n", {}, true},
              {"UserID d\n", {}, true},
              {"UserID f\n", {"config", "core.logAllRefUpdates", "true"}, false}};
  for (const auto& row : rows) {
    WriteFile(main_, "configfile " + included_ + "\n" + Replace(row.text, "@DIR@", dir_.path()));
    if (!row.git.empty()) {
      std::vector<std::string> command = {CFGOUT_GIT, "--git-dir=" + history};
      command.insert(command.end(), row.git.begin(), row.git.end());
      ASSERT_EQ(RunCommand(command, {}).exitStatus, 0);
    }
    std::unique_ptr<ConfigHandle> cfg = HTTPDConfigOpen(main_);
    const HistorySnapshot before = SnapshotBeforeWrite(*cfg);
    const StagedChange staged(*cfg, before);
    ASSERT_EQ(HTTPDConfigWrite(*cfg), 0);
    ASSERT_EQ(RecordChange(*cfg, ChangeNote{"BASIC", {"Port", "UserID"}, " ad<min>.", "10.0.0.1", ""}, before, &staged), "");
    EXPECT_EQ(staged.RecordedWithoutLibrary(), row.direct) << row.text;
    EXPECT_EQ(Recorded(history, "main.conf"), ReadFile(main_)) << row.text;
    EXPECT_EQ(Recorded(history, "sub/inc.conf"), "Port 80\n") << row.text;
  }
  ExpectSound(history);
  // The start (a), b, c, c^A, e, d, f; the second d changed no byte.
  const ChangeList changes = Changes();
  ASSERT_EQ(changes.entries.size(), 7u);
  EXPECT_EQ(changes.entries[0].summary, "BASIC: UserID");
  EXPECT_EQ(changes.entries[0].fields, std::vector<std::string>{"UserID"});
  EXPECT_EQ(changes.entries[0].address, "10.0.0.1");
  ASSERT_EQ(changes.entries[0].files.size(), 1u);
  EXPECT_EQ(changes.entries[0].files[0].lines.back().text, "UserID f");
  EXPECT_EQ(changes.entries[0].files[0].lines.back().kind, DiffLine::kAdded);
  // libgit2's commits and the direct ones (b, d) alike.
  const std::string line = "admin <admin@cfgout.invalid> UTF-8\n";
  EXPECT_EQ(RunCommand({CFGOUT_GIT, "--git-dir=" + history, "log", "--format=%an <%ae> %e"}, {}).out,
            line + line + line + line + line + line + line);
  EXPECT_EQ(RunCommand({CFGOUT_GIT, "--git-dir=" + history, "rev-parse", "HEAD^"}, {}).out, changes.entries[1].id + "\n");
}

// SHA-1 with the processor's instructions and in plain C++, object ids and
// tree order as git has them.
TEST(GitObjectsTest, HashesAndTrees) {
  const std::string million(1000000, 'a');
  const struct {
    std::string_view text;
    const char* sha1;
  } rows[] = {{"", "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
              {"abc", "a9993e364706816aba3e25717850c26c9cd0d89d"},
              {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", "84983e441c3bd26ebaae4aa1f95129e5e54670f1"},
              {million, "34aa973cd4c4daa4f61eeb2bdbad27316534016f"}};
  for (const auto& row : rows) {
    for (std::size_t split : {std::size_t{0}, row.text.size() / 2, row.text.size()}) {
      const std::string_view a = row.text.substr(0, split), b = row.text.substr(split);
      EXPECT_EQ(Sha1({a, b}).Hex(), row.sha1) << row.text.size() << " " << split;
      EXPECT_EQ(Sha1Portable({a, b}).Hex(), row.sha1) << row.text.size() << " " << split;
    }
  }
  std::string text;
  for (int n = 0; n < 300; ++n, text += static_cast<char>(n * 7)) {
    EXPECT_EQ(Sha1({text.substr(0, n / 3), text.substr(n / 3)}), Sha1Portable({text})) << n;
  }
  EXPECT_EQ(ObjectIdOf("blob", "hello\n").Hex(), "ce013625030ba8dba906f756967f9e9ca394464a");
  EXPECT_EQ(ObjectIdOf("tree", "").Hex(), "4b825dc642cb6eb9a060e54bf8d69288fbee4904");
  const ObjectId one = ObjectIdOf("blob", "1"), two = ObjectIdOf("blob", "2"), dir = ObjectIdOf("tree", "");
  const std::string tree = TreeContent({{"b", false, one}, {"a", true, dir}, {"a.c", false, two}});
  const auto raw = [](const ObjectId& id) { return std::string(id.bytes.begin(), id.bytes.end()); };
  EXPECT_EQ(tree, std::string("100644 a.c\0", 11) + raw(two) + std::string("40000 a\0", 8) + raw(dir) +
                      std::string("100644 b\0", 9) + raw(one));
  std::vector<TreeItem> items;
  ASSERT_TRUE(ParseTree(tree, items));
  ASSERT_EQ(items.size(), 3u);
  EXPECT_TRUE(items[1].name == "a" && items[1].isTree && items[1].id == dir);
  EXPECT_FALSE(ParseTree(tree.substr(0, tree.size() - 1), items));
  for (const auto& [text, plain] : std::initializer_list<std::pair<std::string_view, bool>>{
           {" ~a\tb\r\n", true}, {"", true}, {"\x1f", false}, {"\x7f", false}, {"caf\xc3\xa9", false},
           {"0123456789abcde\n0123456789abcdef", true}, {"0123456789abcd\x0b\n0123456789abcdef", false},
           {"0123456789abcdef\x80" "123456789abcdef", false}, {"0123456789abcdef0123456789abcd\x7f", false},
           {"\x7f" "123456789abcdef0", false}}) {
    EXPECT_EQ(IsPlainText(text), plain) << text;
  }
  EXPECT_EQ(ObjectId::FromHex(one.Hex()), one);
  EXPECT_FALSE(ObjectId::FromHex("CE013625030BA8DBA906F756967F9E9CA394464A").has_value());
}

// The history needs no TLS: libgit2's start-up is handed no certificates
// instead of parsing the system's whole bundle.
TEST(GitLibraryTest, StartsWithoutParsingTheCertificateBundle) {
  struct stat st {};
  if (::stat("/etc/ssl/certs/ca-certificates.crt", &st) != 0) GTEST_SKIP() << "no certificate bundle on this system";
  std::string error;
  ASSERT_NE(LoadGitLibrary(error), nullptr) << error;
  EXPECT_GE(SkippedCertificateLoads(), 1);
}

}  // namespace
}  // namespace cfgout::testing
