// Failures while writing the configuration back: whatever fails, and even
// when the process dies half way, every file is either the old or the new
// version, never a truncated or partial one.

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <functional>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "config/config_write_hooks.h"
#include "config/temp_files.h"

namespace cfgout {
namespace {

using testing::Exists;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

// Names in `dir` other than the given ones (temporary files left behind).
std::vector<std::string> Leftovers(const std::string& dir, const std::vector<std::string>& known) {
  std::vector<std::string> out;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    const std::string name = entry.path().filename().string();
    if (std::find(known.begin(), known.end(), name) == known.end()) out.push_back(name);
  }
  return out;
}

// Hook state: fail `step` on its `failOn`-th call (1-based) with `error`,
// or raise SIGKILL there when `error` is 0.
ConfigWriteStep g_step;
int g_failOn = 0;
int g_calls = 0;
int g_error = 0;
std::string g_onlyTarget;

int FailingHook(ConfigWriteStep step, const char* target) {
  if (step != g_step) return 0;
  if (!g_onlyTarget.empty() && g_onlyTarget != target) return 0;
  if (++g_calls != g_failOn) return 0;
  if (g_error == 0) ::raise(SIGKILL);
  return g_error;
}

void ArmHook(ConfigWriteStep step, int failOn, int error, std::string onlyTarget = "") {
  g_step = step;
  g_failOn = failOn;
  g_calls = 0;
  g_error = error;
  g_onlyTarget = std::move(onlyTarget);
  SetConfigWriteHook(&FailingHook);
}

class WriteFaults : public ::testing::Test {
 protected:
  void TearDown() override { SetConfigWriteHook(nullptr); }

  // A main file and two includes; every line of every file is then edited in memory.
  std::unique_ptr<ConfigHandle> OpenAndEdit(const std::string& mainBody = "Port 80\n") {
    WriteFile(dir / "main.conf",
              mainBody + "configfile " + dir / "one.conf" + "\nconfigfile " + dir / "two.conf" + "\n");
    WriteFile(dir / "one.conf", "Gc On\n");
    WriteFile(dir / "two.conf", "Map /a /b\n");
    auto cfg = HTTPDConfigOpen(dir / "main.conf");
    if (!cfg) return cfg;
    for (ConfigFile& f : *cfg) f.lines.first()->text = "edited " + f.lines.first()->text;
    return cfg;
  }

  TempDir dir;
  const std::vector<std::string> names{"main.conf", "one.conf", "two.conf"};
};

TEST_F(WriteFaults, InjectedFailureAtEachStepLeavesTheFileIntact) {
  const ConfigWriteStep steps[] = {ConfigWriteStep::kCreateTemp, ConfigWriteStep::kWriteData,
                                   ConfigWriteStep::kSyncData, ConfigWriteStep::kCloseTemp,
                                   ConfigWriteStep::kRename};
  for (ConfigWriteStep step : steps) {
    auto cfg = OpenAndEdit();
    ASSERT_TRUE(cfg);
    const std::string mainBefore = ReadFile(dir / "main.conf");
    // The second file fails. Every temporary file is ready before the first
    // rename, so only a failing rename itself finds the first file replaced.
    ArmHook(step, 1, EIO, dir / "one.conf");
    EXPECT_EQ(HTTPDConfigWrite(*cfg), -1) << static_cast<int>(step);
    SetConfigWriteHook(nullptr);
    EXPECT_EQ(ReadFile(dir / "main.conf"), (step == ConfigWriteStep::kRename ? "edited " : "") + mainBefore);
    EXPECT_EQ(ReadFile(dir / "one.conf"), "Gc On\n");
    EXPECT_EQ(ReadFile(dir / "two.conf"), "Map /a /b\n");
    EXPECT_THAT(Leftovers(dir.path(), names), ::testing::IsEmpty());
  }
}

TEST_F(WriteFaults, DiskFullInTheMiddleOfALargeFile) {
  // More than one write buffer, so the failure comes after bytes were written.
  std::string big;
  for (int i = 0; i < 8000; ++i) big += "AddType .x" + std::to_string(i) + " application/x-" + std::to_string(i) + "\n";
  auto cfg = OpenAndEdit(big);
  ASSERT_TRUE(cfg);
  const std::string before = ReadFile(dir / "main.conf");
  ArmHook(ConfigWriteStep::kWriteData, 2, ENOSPC);
  EXPECT_EQ(HTTPDConfigWrite(*cfg), -1);
  EXPECT_GE(g_calls, 2);
  EXPECT_EQ(ReadFile(dir / "main.conf"), before);
  EXPECT_THAT(Leftovers(dir.path(), names), ::testing::IsEmpty());
}

TEST_F(WriteFaults, RealFileSizeLimitFailsTheWrite) {
  // A file size limit makes write() really fail (EFBIG) even for root.
  auto cfg = OpenAndEdit(std::string(4000, '#') + "\n");
  ASSERT_TRUE(cfg);
  const std::string before = ReadFile(dir / "main.conf");
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit {1000, 1000};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    ::_exit(HTTPDConfigWrite(*cfg) == -1 ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(ReadFile(dir / "main.conf"), before);
  EXPECT_EQ(ReadFile(dir / "one.conf"), "Gc On\n");
  EXPECT_THAT(Leftovers(dir.path(), names), ::testing::IsEmpty());
}

TEST_F(WriteFaults, DirectoryReplacedByAFile) {
  ASSERT_EQ(::mkdir((dir / "d").c_str(), 0755), 0);
  WriteFile(dir / "main.conf", "Port 80\nconfigfile " + dir / "d/inc.conf" + "\nconfigfile " + dir / "last.conf" + "\n");
  WriteFile(dir / "d/inc.conf", "Gc On\n");
  WriteFile(dir / "last.conf", "Map /a /b\n");
  auto cfg = HTTPDConfigOpen(dir / "main.conf");
  ASSERT_TRUE(cfg);
  ASSERT_EQ(cfg->file_count(), 3u);
  for (ConfigFile& f : *cfg) f.lines.first()->text = "new\n";
  // The included file's directory is moved away and a plain file takes its name.
  ASSERT_EQ(::rename((dir / "d").c_str(), (dir / "moved").c_str()), 0);
  WriteFile(dir / "d", "not a directory");
  EXPECT_EQ(HTTPDConfigWrite(*cfg), -1);
  EXPECT_EQ(ReadFile(dir / "main.conf").substr(0, 4), "Port");
  EXPECT_EQ(ReadFile(dir / "moved/inc.conf"), "Gc On\n");
  EXPECT_EQ(ReadFile(dir / "d"), "not a directory");
  EXPECT_EQ(ReadFile(dir / "last.conf"), "Map /a /b\n");
}

// A name that no longer leads to the file read there is never written, and
// neither is any other file of the configuration.
std::string g_swapFrom, g_swapTo;
int SwappingHook(ConfigWriteStep step, const char* target) {
  if (step == ConfigWriteStep::kCloseTemp && g_swapTo.size() > 0 && std::string(target).ends_with("two.conf")) {
    WriteFile(g_swapTo, "swapped in\n");
    ::rename(g_swapTo.c_str(), g_swapFrom.c_str());
    g_swapTo.clear();
  }
  return 0;
}

TEST_F(WriteFaults, NameLeadingToAnotherFileStopsTheWholeWrite) {
  struct Case {
    const char* name;
    std::function<void(const std::string& d)> change;  // between reading and writing
    const char* reported;
    const char* mainAfter = nullptr;  // null: unchanged
  };
  const std::vector<Case> cases = {
      {"include link retargeted", [](const std::string& d) {
         std::filesystem::remove(d + "/one.conf");
         ASSERT_EQ(::symlink((d + "/other.conf").c_str(), (d + "/one.conf").c_str()), 0);
       }, "one.conf"},
      {"include replaced by rename", [](const std::string& d) {
         WriteFile(d + "/new.conf", "other\n");
         ASSERT_EQ(::rename((d + "/new.conf").c_str(), (d + "/one.conf").c_str()), 0);
       }, "one.conf"},
      {"include removed", [](const std::string& d) { std::filesystem::remove(d + "/one.conf"); }, "one.conf"},
      {"main file replaced while the temporary files were written", [](const std::string& d) {
         g_swapFrom = d + "/main.conf";
         g_swapTo = d + "/swap.conf";
         SetConfigWriteHook(&SwappingHook);
       }, "main.conf", "swapped in\n"},
  };
  WriteFile(dir / "other.conf", "other\n");
  for (const Case& c : cases) {
    auto cfg = OpenAndEdit();
    ASSERT_TRUE(cfg);
    c.change(dir.path());
    const std::string mainBefore = ReadFile(dir / "main.conf");
    const std::string oneBefore = Exists(dir / "one.conf") ? ReadFile(dir / "one.conf") : "";
    ConfigWriteReport report;
    EXPECT_EQ(HTTPDConfigWrite(*cfg, &report), -1) << c.name;
    SetConfigWriteHook(nullptr);
    EXPECT_EQ(report.problem, ConfigWriteProblem::kFileChanged) << c.name;
    EXPECT_TRUE(report.path.ends_with(c.reported)) << c.name << ": " << report.path;
    EXPECT_EQ(ReadFile(dir / "main.conf"), c.mainAfter != nullptr ? c.mainAfter : mainBefore) << c.name;
    if (Exists(dir / "one.conf")) {
      EXPECT_EQ(ReadFile(dir / "one.conf"), oneBefore) << c.name;
    }
    EXPECT_EQ(ReadFile(dir / "two.conf"), "Map /a /b\n") << c.name;
    EXPECT_EQ(ReadFile(dir / "other.conf"), "other\n") << c.name;
    EXPECT_THAT(Leftovers(dir.path(), {"main.conf", "one.conf", "two.conf", "other.conf"}), ::testing::IsEmpty());
    std::filesystem::remove(dir / "one.conf");
  }
}

TEST_F(WriteFaults, TargetThatIsADirectoryIsNotReplaced) {
  ConfigHandle cfg;
  ASSERT_EQ(::mkdir((dir / "sub").c_str(), 0755), 0);
  cfg.AddFile(dir / "sub").lines.Append("x\n");
  EXPECT_EQ(HTTPDConfigWrite(cfg), -1);
  EXPECT_TRUE(std::filesystem::is_directory(dir / "sub"));
}

TEST_F(WriteFaults, KilledBeforeTheRenameKeepsTheOriginal) {
  struct Case {
    ConfigWriteStep step;
    int failOn;
  };
  std::string big;
  for (int i = 0; i < 6000; ++i) big += "Pass /p" + std::to_string(i) + "/* /data/p" + std::to_string(i) + "/*\n";
  for (Case c : {Case{ConfigWriteStep::kWriteData, 2}, Case{ConfigWriteStep::kCloseTemp, 1},
                 Case{ConfigWriteStep::kRename, 1}}) {
    auto cfg = OpenAndEdit(big);
    ASSERT_TRUE(cfg);
    const std::string before = ReadFile(dir / "main.conf");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ArmHook(c.step, c.failOn, 0);  // SIGKILL at that point
      HTTPDConfigWrite(*cfg);
      ::_exit(3);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGKILL);
    EXPECT_EQ(ReadFile(dir / "main.conf"), before);
    EXPECT_EQ(ReadFile(dir / "one.conf"), "Gc On\n");
    // The dead writer's temporary files stay (all three once it got to the
    // renames); they never replace anything.
    const auto left = Leftovers(dir.path(), names);
    ASSERT_EQ(left.size(), c.step == ConfigWriteStep::kRename ? 3u : 1u);
    for (const std::string& name : left) {
      EXPECT_NE(name.find(".cfgout-"), std::string::npos) << name;
      std::filesystem::remove(dir / name);
    }
  }
  // Afterwards a normal write still works.
  auto cfg = OpenAndEdit();
  ASSERT_TRUE(cfg);
  EXPECT_EQ(HTTPDConfigWrite(*cfg), 0);
  EXPECT_EQ(ReadFile(dir / "one.conf"), "edited Gc On\n");
}

}  // namespace
}  // namespace cfgout
