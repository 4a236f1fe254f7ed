#pragma once
// Fault injection for the configuration write-back, for tests only.
//
// Usage (in a test):
//   SetConfigWriteHook([](ConfigWriteStep step, const char*) {
//     return step == ConfigWriteStep::kRename ? EXDEV : 0;
//   });
//   EXPECT_EQ(HTTPDConfigWrite(*cfg), -1);
//   SetConfigWriteHook(nullptr);
//
// The hook is called before each step of replacing one file. A non-zero
// result makes that step fail as if the system call had failed with that
// errno value; the writer then cleans up exactly as for a real failure. The
// program itself never installs a hook.

namespace cfgout {

enum class ConfigWriteStep {
  kCreateTemp,     // creating the temporary file beside the target
  kWriteData,      // writing the bytes (called once per write system call)
  kSyncData,       // fsync of the temporary file
  kCloseTemp,      // closing the temporary file
  kRename,         // renaming the temporary file over the target
};

// `target` is the path actually replaced (a symbolic link resolved).
using ConfigWriteHook = int (*)(ConfigWriteStep step, const char* target);

void SetConfigWriteHook(ConfigWriteHook hook);

}  // namespace cfgout
