// libgit2 linked into the program (the CGI program linked whole: a process
// per request loads no shared library at all).
//
// The program is linked with the linker's --wrap for the functions below
// (see CMakeLists.txt): libgit2's calls of a wrapped function land on the
// __wrap_ definition here, and an object of libgit2 that nothing calls any
// more is not linked in.
#include <git2/sys/transport.h>

#include "history/git_binding.h"

// The TLS library's certificate loaders (see git_binding.h).
CFGOUT_DEFINE_CERTIFICATE_LOADERS(__wrap_mbedtls_x509_crt_parse_file, __wrap_mbedtls_x509_crt_parse_path)

// The SSH transport and HTTP's Negotiate authentication are left out: they
// bring in an SSH library with a whole cryptography library, and Kerberos,
// none of which a local repository needs (the table of functions holds no
// transport, git_library.cpp checks it). Without them libgit2 starts
// without SSH, and a transport that asked for either would get an error.
extern "C" int __wrap_git_transport_ssh_global_init() { return 0; }

extern "C" int __wrap_git_smart_subtransport_ssh(git_smart_subtransport** out, git_transport*, void*) {
  *out = nullptr;
  return -1;
}

extern "C" int __wrap_git_http_auth_negotiate(void** out, const void*) {
  *out = nullptr;
  return -1;
}

namespace cfgout {

bool BindGitLibrary(GitLibrary& library, std::string&) {
#define CFGOUT_GIT_TAKE(name) library.name = &::name;
  CFGOUT_GIT_FUNCTIONS(CFGOUT_GIT_TAKE)
#undef CFGOUT_GIT_TAKE
  return true;
}

}  // namespace cfgout
