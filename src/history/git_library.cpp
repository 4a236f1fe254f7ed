#include "history/git_library.h"

#include <dlfcn.h>

#include <atomic>
#include <string_view>

// libgit2 initialises its TLS layer in git_libgit2_init, and that reads and
// parses the system's whole certificate bundle (several milliseconds, a
// fifth of a recorded change). The history only ever works on a local
// repository and never opens a network transport, so it has no use for
// certificates. The program therefore defines the two loading functions of
// the TLS library itself and exports them (see CMakeLists.txt): the dynamic
// linker searches the program before a library's own dependencies, so
// libgit2's calls land here. They load nothing and report success; the TLS
// layer is left with an empty list of trusted certificates, so should a
// connection ever be made it would trust no server (it fails closed, as on
// a system without a certificate bundle).
namespace {
std::atomic<int> skippedCertificateLoads{0};
}  // namespace

extern "C" __attribute__((visibility("default"))) int mbedtls_x509_crt_parse_file(void*, const char*) {
  skippedCertificateLoads.fetch_add(1, std::memory_order_relaxed);
  return 0;
}

extern "C" __attribute__((visibility("default"))) int mbedtls_x509_crt_parse_path(void*, const char*) {
  skippedCertificateLoads.fetch_add(1, std::memory_order_relaxed);
  return 0;
}

namespace cfgout {

namespace {

// The premise of the functions above: the table holds no function that
// could reach a network transport.
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

int SkippedCertificateLoads() { return skippedCertificateLoads.load(std::memory_order_relaxed); }

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
