#include "history/git_library.h"

#include <atomic>
#include <string_view>

#include "history/git_binding.h"

namespace cfgout {

namespace {

// libgit2's start-up is handed no certificates (git_binding.h); the premise
// is that the table holds no function that could reach a network transport.
constexpr bool IsLocalOnly(std::string_view name) {
  for (std::string_view network : {"git_remote", "git_clone", "git_transport", "git_fetch", "git_push",
                                   "git_stream", "git_credential", "git_proxy", "git_submodule"}) {
    if (name.substr(0, network.size()) == network) return false;
  }
  return true;
}
#define CFGOUT_GIT_CHECK_LOCAL(name) static_assert(IsLocalOnly(#name), #name " may open a network transport");
CFGOUT_GIT_FUNCTIONS(CFGOUT_GIT_CHECK_LOCAL)
#undef CFGOUT_GIT_CHECK_LOCAL

std::atomic<bool> libraryReady{false};

}  // namespace

const GitLibrary* LoadGitLibrary(std::string& error) {
  static GitLibrary library;
  static std::string loadError;
  static const bool loaded = [] {
    if (!BindGitLibrary(library, loadError)) return false;
    if (library.git_libgit2_init() < 0) {
      loadError = "libgit2 could not be initialised";
      return false;
    }
    return true;
  }();
  libraryReady.store(true, std::memory_order_release);
  if (!loaded) {
    error = loadError;
    return nullptr;
  }
  return &library;
}

bool GitLibraryTried() { return libraryReady.load(std::memory_order_acquire); }

std::string GitErrorText(const GitLibrary& git, const char* fallback) {
  const git_error* last = git.git_error_last();
  return last != nullptr && last->message != nullptr ? std::string(last->message) : std::string(fallback);
}

}  // namespace cfgout
