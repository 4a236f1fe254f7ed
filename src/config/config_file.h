#pragma once
// The proxy configuration as a chain of files, each a list of lines.
//
// Usage (one request):
//   std::unique_ptr<ConfigHandle> cfg = HTTPDConfigOpen(ruleFile);
//   if (!cfg) { ...message 8... }
//   ... read and edit through the directive operations ...
//   if (status.success == 1 && HTTPDConfigWrite(*cfg) == -1) { ...message 10... }
//   HTTPDConfigClose(std::move(cfg), false);
//
// Reading follows "configfile" and "rcaconfigfile" include lines breadth
// first; every file is kept byte for byte (terminators, NUL bytes, invalid
// UTF-8 and a missing final newline included) so that writing without edits
// reproduces it exactly. Writing replaces each file atomically (temporary
// file in the same directory, fsync, rename), never truncating in place.

#include <sys/types.h>

#include <cstddef>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "config/line_list.h"

namespace cfgout {

// Lines read from a file hold at most this many bytes; a longer line is
// kept as several nodes of this size and a rest, rejoined on writing.
inline constexpr std::size_t kMaxReadLineLength = 1023;

// Reading stops at these sizes: a request never reads without bound.
inline constexpr std::size_t kMaxConfigBytes = std::size_t{64} << 20;  // all files together
inline constexpr std::size_t kMaxConfigFiles = 1000;

// One file of the configuration. The records of a handle are linked through
// next/prev in chain order (main file first); the handle owns them.
struct ConfigFile {
  std::string path;   // as given: RULE_FILE for the main file, else as written on the include line
  LineList lines;     // the file's lines; empty only after every line was removed
  ConfigFile* next = nullptr;
  ConfigFile* prev = nullptr;
  // The file that was read (device and inode), so that the write-back
  // replaces that file and no other. Unset for records not read from disk.
  // A successful write-back moves them on to the file that replaced it.
  mutable bool identified = false;
  mutable dev_t device = 0;
  mutable ino_t inode = 0;
};

// Why a file named by the configuration was not read.
enum class ConfigRefusal {
  kNotRegularFile,  // a FIFO, device, directory, socket ... (after following links)
  kTooLarge,        // over kMaxConfigBytes or kMaxConfigFiles
};

struct ConfigRefusedFile {
  std::string path;
  ConfigRefusal reason;
};

// Where the single line of a directive written by HTTPDReplaceRuleLine
// stands (see directive_access.h). Trusted only while no line list changed
// in any other way since (LineListEditCount).
struct DirectiveLineMemo {
  ConfigFile* file = nullptr;     // null: no instance anywhere
  LineNode* line = nullptr;       // the only instance in `file`; no later file has one
  bool earlierInstances = false;  // files before `file` hold instances
  unsigned long long stamp = 0;
};

struct DirectiveMemoTable {
  std::unordered_map<int, DirectiveLineMemo> lines;
  unsigned long long stamp = 1;       // memos of an older stamp are void
  unsigned long long edits = ~0ULL;   // LineListEditCount() after the last remembered change
};

// The open configuration: the chain of file records, main file first, then
// the included files in the order they were found.
class ConfigHandle {
 public:
  class iterator {
   public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = ConfigFile;
    using difference_type = std::ptrdiff_t;
    using pointer = ConfigFile*;
    using reference = ConfigFile&;
    iterator() = default;
    explicit iterator(ConfigFile* file) : file_(file) {}
    reference operator*() const { return *file_; }
    pointer operator->() const { return file_; }
    iterator& operator++() { file_ = file_->next; return *this; }
    iterator operator++(int) { iterator old = *this; file_ = file_->next; return old; }
    bool operator==(const iterator&) const = default;
   private:
    ConfigFile* file_ = nullptr;
  };

  ConfigHandle() = default;
  ConfigHandle(const ConfigHandle&) = delete;
  ConfigHandle& operator=(const ConfigHandle&) = delete;

  // Appends a file record with no lines and returns it.
  ConfigFile& AddFile(std::string path);

  // Files the configuration names that were refused instead of read. A
  // configuration with a refused file is shown but never written back.
  const std::vector<ConfigRefusedFile>& refused() const noexcept { return refused_; }

  // Bookkeeping of the directive operations that remember where they wrote.
  DirectiveMemoTable& directive_memos() noexcept { return memos_; }
  void AddRefused(std::string path, ConfigRefusal reason) { refused_.push_back({std::move(path), reason}); }

  ConfigFile* first() const noexcept { return files_.empty() ? nullptr : files_.front().get(); }
  ConfigFile* last() const noexcept { return files_.empty() ? nullptr : files_.back().get(); }
  std::size_t file_count() const noexcept { return files_.size(); }

  iterator begin() const { return iterator(first()); }
  iterator end() const { return iterator(); }

 private:
  std::vector<std::unique_ptr<ConfigFile>> files_;
  std::vector<ConfigRefusedFile> refused_;
  DirectiveMemoTable memos_;
};

// Reads `path` and every file it includes, transitively. A file that cannot
// be opened for reading is created empty, whatever the umask with the main
// file's permission bits limited to 0640 (0640 for a missing main file);
// one that cannot be opened at all is left out. Only regular files are read (symbolic links followed): an
// include naming anything else is noted in refused() and not opened for
// reading; one file reached under two names (same device and inode) is read
// once. Null when `path` is null or empty or the main file cannot be opened
// at all or is no regular file.
std::unique_ptr<ConfigHandle> HTTPDConfigOpen(const char* path);
std::unique_ptr<ConfigHandle> HTTPDConfigOpen(const std::string& path);

// Why a write-back refused to start or stopped; `path` names the file.
enum class ConfigWriteProblem {
  kNone,
  kNoPath,        // a file record without a path
  kLineTooLong,   // a line the reader would cut into pieces (a page-built line over kMaxReadLineLength)
  kFailed,        // a system call failed (errno tells which)
  kRefusedFile,   // the configuration names a file that was refused (ConfigHandle::refused)
  kFileChanged,   // a name no longer leads to the file that was read there
};

struct ConfigWriteReport {
  ConfigWriteProblem problem = ConfigWriteProblem::kNone;
  std::string path;
};

// True when every line of the configuration would be read back as the line
// it is: no line of it (up to and including each line feed) is longer than
// kMaxReadLineLength. Lines read from the files always are; a page-built line
// with an over-long value is not, and writing it would let the reader cut it
// and take the rest for a line of its own.
bool HTTPDConfigLinesFit(const ConfigHandle& handle, std::string* path = nullptr);

// Writes every file back. 0 when all were written, else -1. Each file is
// written to a temporary file in its directory (opened once and used through
// openat/renameat) and renamed over the original, keeping permission bits
// (and owner when allowed); a symbolic link is written through to its
// target and stays a link. A file read from disk is replaced only while its
// name still leads to that same file (device and inode); otherwise nothing
// is renamed (kFileChanged). All temporary files are written and synced
// before the first rename, so any failure up to then changes no file; only a
// failing rename itself can leave the files before it replaced.
// Nothing at all is written when a line does not fit (HTTPDConfigLinesFit).
int HTTPDConfigWrite(const ConfigHandle& handle);
// The same, telling why it failed.
int HTTPDConfigWrite(const ConfigHandle& handle, ConfigWriteReport* report);

// When `write` is true, first writes every file as HTTPDConfigWrite does and
// returns -1 on the same failures, else 0. The handle and all its lines are
// released in every case. A null handle gives -1.
int HTTPDConfigClose(std::unique_ptr<ConfigHandle> handle, bool write);

// Adds the file named in `text` (the text after an include keyword) to the
// include list: leading blanks and tabs skipped, cut at the first "#" that
// is not preceded by "\" (the backslash stays), trailing blanks, tabs, CR
// and LF removed; nothing when the name is empty or already listed (exact
// comparison).
void HTTPDAddNewConfigFile(std::vector<std::string>& includeList, std::string_view text);

// Classifies a line by its words (separated by blanks, tabs and LF):
// 3 no word; 2 a first word that begins with a double quote, "#", "(", ")",
// "@", "{" or "}", or that contains "=", "PicsRule-1.0" or "@"; 4 a single
// word; 1 a word followed by more words.
int IsWriteLine(std::string_view line);

// ASCII case helpers. strupr/strlwr convert in place and return their
// argument (a null char* is returned as is); stricmp/strnicmp compare like
// strcasecmp/strncasecmp (a null pointer sorts before every string).
char* strupr(char* s);
char* strlwr(char* s);
std::string& strupr(std::string& s);
std::string& strlwr(std::string& s);
int stricmp(const char* a, const char* b);
int strnicmp(const char* a, const char* b, std::size_t n);
int stricmp(std::string_view a, std::string_view b);
int strnicmp(std::string_view a, std::string_view b, std::size_t n);

}  // namespace cfgout
