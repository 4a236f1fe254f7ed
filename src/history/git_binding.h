#pragma once
// How the history reaches libgit2, chosen when a program is linked: a
// program linked whole carries libgit2 (git_library_linked.cpp); any other
// loads the shared library on first use (git_library_loaded.cpp). Each of
// the two defines the functions below.
//
// Either way libgit2's start-up is handed no certificates. git_libgit2_init
// initialises its TLS layer, and that reads and parses the system's whole
// certificate bundle (several milliseconds, a fifth of a recorded change).
// The history only ever works on a local repository and never opens a
// network transport, so it has no use for certificates: the two loading
// functions of the TLS library are replaced by ones that load nothing and
// report success. The TLS layer is left with an empty list of trusted
// certificates, so should a connection ever be made it would trust no
// server (it fails closed, as on a system without a certificate bundle).

#include <atomic>
#include <string>

#include "history/git_library.h"

namespace cfgout {

// Fills every entry of `library`; false with a one-line reason in `error`.
bool BindGitLibrary(GitLibrary& library, std::string& error);

}  // namespace cfgout

// Defines the two certificate loaders under the names `file` and `path`, and
// SkippedCertificateLoads counting their calls.
#define CFGOUT_DEFINE_CERTIFICATE_LOADERS(file, path)                                             \
  namespace {                                                                                     \
  std::atomic<int> skippedCertificateLoads{0};                                                    \
  }                                                                                               \
  extern "C" __attribute__((visibility("default"))) int file(void*, const char*) {                \
    skippedCertificateLoads.fetch_add(1, std::memory_order_relaxed);                              \
    return 0;                                                                                     \
  }                                                                                               \
  extern "C" __attribute__((visibility("default"))) int path(void*, const char*) {                \
    skippedCertificateLoads.fetch_add(1, std::memory_order_relaxed);                              \
    return 0;                                                                                     \
  }                                                                                               \
  int cfgout::SkippedCertificateLoads() { return skippedCertificateLoads.load(std::memory_order_relaxed); }
