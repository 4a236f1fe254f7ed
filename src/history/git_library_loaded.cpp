// libgit2 as a shared library, loaded the first time the history needs it:
// a CGI process starts once per request, and most requests never touch the
// history.
#include <dlfcn.h>

#include "history/git_binding.h"

// The program exports these two (see CMakeLists.txt): the dynamic linker
// searches the program before a library's own dependencies, so libgit2's
// calls of the TLS library's loaders land here.
CFGOUT_DEFINE_CERTIFICATE_LOADERS(mbedtls_x509_crt_parse_file, mbedtls_x509_crt_parse_path)

namespace cfgout {

bool BindGitLibrary(GitLibrary& library, std::string& error) {
  // RTLD_LOCAL keeps its symbols (and those of its dependencies) out of the
  // program's own namespace.
  void* handle = dlopen(CFGOUT_LIBGIT2_SONAME, RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* why = dlerror();
    error = std::string("cannot load " CFGOUT_LIBGIT2_SONAME ": ") + (why != nullptr ? why : "unknown error");
    return false;
  }
#define CFGOUT_GIT_RESOLVE(name)                                                 \
  library.name = reinterpret_cast<decltype(library.name)>(dlsym(handle, #name)); \
  if (library.name == nullptr) {                                                 \
    error = "libgit2 has no function " #name;                                    \
    return false;                                                                \
  }
  CFGOUT_GIT_FUNCTIONS(CFGOUT_GIT_RESOLVE)
#undef CFGOUT_GIT_RESOLVE
  return true;
}

}  // namespace cfgout
