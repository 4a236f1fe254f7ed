// Whatever fails in a write-back, even a death half way, every file is either old or new, never partial.
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <functional>

#include "config/config_write_hooks.h"
#include "config/temp_files.h"

// Hooks name only the fields they need.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace cfgout {
namespace {

using namespace testing;

namespace fs = std::filesystem;

// Fails `step` on its `failOn`-th call (for `only`) with `error`, or SIGKILL for 0; `before` runs first.
struct Hook {
  ConfigWriteStep step = ConfigWriteStep::kCreateTemp;
  int failOn = 0, error = 0;
  std::string only;
  std::function<void(ConfigWriteStep, const std::string&)> before;
};
Hook g_hook;
int g_calls = 0;
int Fail(ConfigWriteStep step, const char* target) {
  if (g_hook.before) g_hook.before(step, target);
  if (step != g_hook.step || (!g_hook.only.empty() && g_hook.only != target) || ++g_calls != g_hook.failOn) return 0;
  if (g_hook.error == 0) ::raise(SIGKILL);
  return g_hook.error;
}

class WriteFaults : public ::testing::Test {
 protected:
  void TearDown() override { SetConfigWriteHook(nullptr); }

  // A main file and two includes, each first line edited in memory.
  std::unique_ptr<ConfigHandle> OpenAndEdit(const std::string& mainBody = "Port 80\n") {
    WriteFile(dir / "main.conf", mainBody + "configfile " + dir / "one.conf" + "\nconfigfile " + dir / "two.conf" + "\n");
    WriteFile(dir / "one.conf", "Gc On\n");
    WriteFile(dir / "two.conf", "Map /a /b\n");
    before = ReadFile(dir / "main.conf");
    auto cfg = HTTPDConfigOpen(dir / "main.conf");
    for (ConfigFile& f : *cfg) f.lines.first()->text = "edited " + std::string(f.lines.first()->text);
    return cfg;
  }
  // The write's result with `hook` armed (in a child: -9 when killed).
  int Write(const ConfigHandle& cfg, Hook hook, bool child = false, ConfigWriteReport* report = nullptr) {
    g_hook = std::move(hook);
    g_calls = 0;
    SetConfigWriteHook(&Fail);
    if (!child) {
      const int result = HTTPDConfigWrite(cfg, report);
      SetConfigWriteHook(nullptr);
      return result;
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::signal(SIGXFSZ, SIG_IGN);
      struct rlimit limit {1000, 1000};  // a real write() failure (EFBIG), even for root
      if (g_hook.failOn == 0) ::setrlimit(RLIMIT_FSIZE, &limit);
      ::_exit(HTTPDConfigWrite(cfg) == -1 ? 0 : 1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    SetConfigWriteHook(nullptr);
    return WIFSIGNALED(status) ? -WTERMSIG(status) : WEXITSTATUS(status) == 0 ? -1 : 0;
  }
  Lines Leftovers(Lines known = {"main.conf", "one.conf", "two.conf"}) const {
    Lines out;
    for (const auto& entry : fs::directory_iterator(dir.path())) {
      const std::string name = entry.path().filename().string();
      if (std::find(known.begin(), known.end(), name) == known.end()) out.push_back(name);
    }
    return out;
  }
  void ExpectUnchanged(const std::string& what, bool mainReplaced = false) {
    EXPECT_EQ(ReadFile(dir / "main.conf"), (mainReplaced ? "edited " : "") + before) << what;
    EXPECT_EQ(ReadFile(dir / "one.conf"), "Gc On\n") << what;
    EXPECT_EQ(ReadFile(dir / "two.conf"), "Map /a /b\n") << what;
  }

  testing::TempDir dir;
  std::string before;
};

std::string Big(const char* pattern, int lines) {
  std::string big;
  for (int i = 0; i < lines; ++i) big += pattern + std::to_string(i) + " /data/" + std::to_string(i) + "\n";
  return big;
}

TEST_F(WriteFaults, AFailingStepLeavesEveryFileWholeAndNoTemporary) {
  // The second file fails; only a failing rename finds the first one replaced.
  for (ConfigWriteStep step : {ConfigWriteStep::kCreateTemp, ConfigWriteStep::kWriteData, ConfigWriteStep::kSyncData,
                               ConfigWriteStep::kCloseTemp, ConfigWriteStep::kRename}) {
    auto cfg = OpenAndEdit();
    EXPECT_EQ(Write(*cfg, Hook{step, 1, EIO, dir / "one.conf"}), -1);
    ExpectUnchanged(std::to_string(static_cast<int>(step)), step == ConfigWriteStep::kRename);
    EXPECT_EQ(Leftovers(), Lines{});
  }
  // Disk full after more than one buffer was written; a real file size limit.
  auto cfg = OpenAndEdit(Big("AddType .x", 8000));
  EXPECT_EQ(Write(*cfg, Hook{ConfigWriteStep::kWriteData, 2, ENOSPC}), -1);
  EXPECT_GE(g_calls, 2);
  ExpectUnchanged("disk full");
  cfg = OpenAndEdit(std::string(4000, '#') + "\n");
  EXPECT_EQ(Write(*cfg, {}, true), -1);
  ExpectUnchanged("size limit");
  EXPECT_EQ(Leftovers(), Lines{});
}

TEST_F(WriteFaults, KilledAnywhereKeepsTheOriginals) {
  for (auto [step, failOn] : {std::pair{ConfigWriteStep::kWriteData, 2}, {ConfigWriteStep::kCloseTemp, 1},
                              {ConfigWriteStep::kRename, 1}}) {
    auto cfg = OpenAndEdit(Big("Pass /p", 6000));
    EXPECT_EQ(Write(*cfg, Hook{step, failOn, 0}, true), -SIGKILL);
    ExpectUnchanged("killed");
    // The dead writer's temporary files stay, replacing nothing.
    const Lines left = Leftovers();
    EXPECT_EQ(left.size(), step == ConfigWriteStep::kRename ? 3u : 1u);
    for (const std::string& name : left) {
      EXPECT_NE(name.find(".cfgout-"), std::string::npos) << name;
      fs::remove(dir / name);
    }
  }
  auto cfg = OpenAndEdit();
  EXPECT_EQ(HTTPDConfigWrite(*cfg), 0);
  EXPECT_EQ(ReadFile(dir / "one.conf"), "edited Gc On\n");
}

// A name that no longer leads to the file read stops the whole write.
TEST_F(WriteFaults, ANameLeadingToAnotherFileStopsTheWholeWrite) {
  struct Row { const char* what; std::function<void(const std::string& d)> change; Hook hook; const char* reported; };
  bool swapped = false;
  Hook swapMain;
  swapMain.before = [this, &swapped](ConfigWriteStep step, const std::string& target) {
    if (step == ConfigWriteStep::kCloseTemp && target.ends_with("two.conf") && !swapped) {
      swapped = true;
      fs::rename(dir.Write("swap", "swapped in\n"), dir / "main.conf");
    }
  };
  const Row rows[] = {
      {"include link retargeted", [](const std::string& d) {
         fs::remove(d + "/one.conf");
         fs::create_symlink(d + "/other.conf", d + "/one.conf");
       }, {}, "one.conf"},
      {"include replaced by rename", [](const std::string& d) {
         WriteFile(d + "/new.conf", "other\n");
         fs::rename(d + "/new.conf", d + "/one.conf");
       }, {}, "one.conf"},
      {"include removed", [](const std::string& d) { fs::remove(d + "/one.conf"); }, {}, "one.conf"},
      {"main file replaced while the temporary files were written", nullptr, swapMain, "main.conf"},
  };
  WriteFile(dir / "other.conf", "other\n");
  for (const Row& r : rows) {
    auto cfg = OpenAndEdit();
    if (r.change) r.change(dir.path());
    const std::string main = ReadFile(dir / "main.conf");
    const std::string one = fs::exists(dir / "one.conf") ? ReadFile(dir / "one.conf") : "";
    ConfigWriteReport report;
    EXPECT_EQ(Write(*cfg, r.hook, false, &report), -1) << r.what;
    EXPECT_EQ(report.problem, ConfigWriteProblem::kFileChanged) << r.what;
    EXPECT_TRUE(report.path.ends_with(r.reported)) << r.what << ": " << report.path;
    EXPECT_EQ(ReadFile(dir / "main.conf"), r.change ? main : "swapped in\n") << r.what;
    EXPECT_EQ(fs::exists(dir / "one.conf") ? ReadFile(dir / "one.conf") : "", one) << r.what;
    EXPECT_EQ(ReadFile(dir / "two.conf"), "Map /a /b\n") << r.what;
    EXPECT_EQ(ReadFile(dir / "other.conf"), "other\n") << r.what;
    EXPECT_EQ(Leftovers({"main.conf", "one.conf", "two.conf", "other.conf"}), Lines{}) << r.what;
    fs::remove(dir / "one.conf");
  }
  // An included file's directory replaced by a file; a target that is a directory.
  ASSERT_EQ(::mkdir((dir / "d").c_str(), 0755), 0);
  WriteFile(dir / "d/inc.conf", "Gc On\n");
  auto cfg = OpenAndEdit("Port 80\nconfigfile " + dir / "d/inc.conf" + "\n");
  ASSERT_EQ(cfg->file_count(), 4u);
  fs::rename(dir / "d", dir / "moved");
  WriteFile(dir / "d", "not a directory");
  EXPECT_EQ(HTTPDConfigWrite(*cfg), -1);
  ExpectUnchanged("directory replaced");
  EXPECT_EQ(ReadFile(dir / "moved/inc.conf") + ReadFile(dir / "d"), "Gc On\nnot a directory");
  ConfigHandle handle;
  handle.AddFile(dir / "moved").lines.Append("x\n");
  EXPECT_EQ(HTTPDConfigWrite(handle), -1);
  EXPECT_TRUE(fs::is_directory(dir / "moved"));
}

}  // namespace
}  // namespace cfgout
