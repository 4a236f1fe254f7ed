#include "history/git_library.h"

#include <dlfcn.h>

namespace cfgout {

const GitLibrary* LoadGitLibrary(std::string& error) {
  static GitLibrary library;
  static std::string loadError;
  static const bool loaded = [] {
    // RTLD_LOCAL keeps its symbols (and those of its dependencies) out of the
    // program's own namespace.
    void* handle = dlopen(CFGOUT_LIBGIT2_SONAME, RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
      const char* why = dlerror();
      loadError = std::string("cannot load " CFGOUT_LIBGIT2_SONAME ": ") + (why != nullptr ? why : "unknown error");
      return false;
    }
#define CFGOUT_GIT_RESOLVE(name)                                                        \
  library.name = reinterpret_cast<decltype(library.name)>(dlsym(handle, #name));        \
  if (library.name == nullptr) {                                                        \
    loadError = "libgit2 has no function " #name;                                       \
    return false;                                                                       \
  }
    CFGOUT_GIT_FUNCTIONS(CFGOUT_GIT_RESOLVE)
#undef CFGOUT_GIT_RESOLVE
    if (library.git_libgit2_init() < 0) {
      loadError = "libgit2 could not be initialised";
      return false;
    }
    return true;
  }();
  if (!loaded) {
    error = loadError;
    return nullptr;
  }
  return &library;
}

std::string GitErrorText(const GitLibrary& git, const char* fallback) {
  const git_error* last = git.git_error_last();
  return last != nullptr && last->message != nullptr ? std::string(last->message) : std::string(fallback);
}

}  // namespace cfgout
