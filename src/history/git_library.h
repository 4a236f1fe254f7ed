#pragma once
// libgit2, reached through a table of its functions.
//
// Only the requests that record or show the change history need git, and a
// CGI process starts once per request. The table is filled the first time
// it is asked for: from the shared library, loaded then, or from the copy
// the program was linked with (git_binding.h).
//
// Usage:
//   const GitLibrary* git = LoadGitLibrary(error);
//   if (git == nullptr) { ...report *error... }
//   git_repository* repo = nullptr;
//   git->git_repository_open_bare(&repo, path.c_str());

#include <git2.h>

#include <string>

namespace cfgout {

#define CFGOUT_GIT_FUNCTIONS(X)                                                                          \
  X(git_libgit2_init) X(git_error_last) X(git_repository_init_ext) X(git_repository_init_options_init)  \
  X(git_repository_open_bare) X(git_repository_free) X(git_blob_lookup)   \
  X(git_blob_rawcontent) X(git_blob_rawsize) X(git_blob_free) X(git_treebuilder_new)                    \
  X(git_treebuilder_insert) X(git_treebuilder_write) X(git_treebuilder_free) X(git_tree_lookup)         \
  X(git_tree_free) X(git_tree_entry_bypath) X(git_tree_entry_free) X(git_tree_entry_id)                  \
  X(git_reference_name_to_id) X(git_commit_lookup) X(git_commit_free) X(git_commit_create)              \
  X(git_commit_parentcount) X(git_commit_parent_id) X(git_commit_tree) X(git_commit_message)            \
  X(git_commit_author) X(git_commit_id) X(git_commit_time) X(git_signature_new) X(git_signature_free)   \
  X(git_revwalk_new) X(git_revwalk_push_head) X(git_revwalk_next) X(git_revwalk_free)                   \
  X(git_revwalk_sorting) X(git_diff_options_init) X(git_diff_tree_to_tree) X(git_diff_print)           \
  X(git_diff_free) X(git_oid_fromstrn) X(git_oid_tostr_s) X(git_oid_cmp) X(git_diff_num_deltas) X(git_diff_get_delta) X(git_commit_tree_id) \
  X(git_repository_odb) X(git_odb_write) X(git_odb_free)

struct GitLibrary {
#define CFGOUT_GIT_POINTER(name) decltype(&::name) name = nullptr;
  CFGOUT_GIT_FUNCTIONS(CFGOUT_GIT_POINTER)
#undef CFGOUT_GIT_POINTER
};

// The loaded library (initialised once), or null with a one-line reason in
// `error` when it cannot be loaded.
const GitLibrary* LoadGitLibrary(std::string& error);

// True once LoadGitLibrary has finished loading (successfully or not).
bool GitLibraryTried();

// How often libgit2 asked for the system's certificates and was given none
// (the history needs no TLS; see git_library.cpp).
int SkippedCertificateLoads();

// The text of libgit2's last error, or `fallback`.
std::string GitErrorText(const GitLibrary& git, const char* fallback);

}  // namespace cfgout
