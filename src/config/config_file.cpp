#include "config/config_file.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <utility>

#include "config/config_write_hooks.h"
#include "runtime/ascii.h"
#include "runtime/file_bytes.h"

namespace cfgout {

namespace {

constexpr std::string_view kIncludeKeyword = "configfile";
constexpr std::string_view kRcaIncludeKeyword = "rcaconfigfile";
constexpr std::size_t kIoBufferSize = 64 * 1024;
// The reader's buffer: kIoBufferSize and more, at least the size a table's
// row buffer starts with (the page buffer and 4 KiB,
// html/table_generators.cpp), so that the row buffer takes its place.
constexpr std::size_t kReadBufferBytes = 72 * 1024;

ConfigWriteHook g_writeHook = nullptr;

// Permission bits of a configuration file the program creates.
constexpr mode_t kCreatedFileMode = 0640;

// Compares like strncasecmp: the end of a view counts as a terminating NUL.
int CompareIgnoringCase(std::string_view a, std::string_view b, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    const unsigned char ca = static_cast<unsigned char>(i < a.size() ? AsciiLower(a[i]) : '\0');
    const unsigned char cb = static_cast<unsigned char>(i < b.size() ? AsciiLower(b[i]) : '\0');
    if (ca != cb) return ca < cb ? -1 : 1;
    if (ca == '\0') return 0;
  }
  return 0;
}

// A completed line that begins with "c" or "r": if it is an include line,
// note the file it names. The line is looked at as a C string, so a NUL
// byte ends it here (the keywords hold none, so they are compared on the
// whole text).
[[gnu::noinline]] void NoteIncludeLine(const LineText& text, std::vector<std::string>& includeList) {
  for (const std::string_view keyword : {kIncludeKeyword, kRcaIncludeKeyword}) {
    if (StartsWithIgnoringCase(text.view(), keyword)) {
      HTTPDAddNewConfigFile(includeList, std::string_view(text.c_str()).substr(keyword.size()));
      return;
    }
  }
}

// A completed line: if it is an include line, note the file it names.
inline void NoteInclude(const LineText& text, std::vector<std::string>& includeList) {
  // Cheap test first: most lines are no include lines. (Setting the 0x20
  // bit turns only "C", "O" and "R" into "c", "o" and "r"; a text is
  // followed by a NUL, so its second byte may be read.)
  const char first = static_cast<char>(text[0] | 0x20);
  const char second = static_cast<char>(text[1] | 0x20);
  // Compared without a branch per comparison: many lines begin with "c".
  const auto is = [](bool b) { return static_cast<unsigned>(b); };
  if (((is(first == 'c') & is(second == 'o')) | (is(first == 'r') & is(second == 'c'))) != 0) {
    NoteIncludeLine(text, includeList);
  }
}

// Reads the whole file into `lines`, one node per line (terminator kept),
// splitting lines longer than kMaxReadLineLength. A read error ends the file
// like the end of file does. The last node holds what follows the last
// terminator, so it is empty when the file ends with "\n" or is empty.
// Reads at most `budget` bytes; false (with what was read so far kept) when
// the file holds more. `expected` is the file's size as it was opened: the
// texts go into blocks of about that size (line_text.h).
bool ReadLines(int fd, LineList& lines, std::vector<std::string>& includeList, std::size_t& budget,
               std::size_t expected, char* buffer) {
  LineTextBuilder texts(std::min(expected, budget));
  // Every node is linked in as soon as it is made, so that the list owns it
  // whatever happens next.
  LineNode* tail = nullptr;
  bool continues = false;  // the next node continues a line cut in pieces
  auto link = [&lines, &tail](LineNode* node) {
    if (tail == nullptr) lines.reset(node); else tail->next = node;
    tail = node;
  };
  bool complete = true;
  for (;;) {
    // One byte more than the budget tells a file that is too large.
    const std::size_t want = budget < kIoBufferSize ? budget + 1 : kIoBufferSize;
    ssize_t got = ::read(fd, buffer, want);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    if (static_cast<std::size_t>(got) > budget) {
      complete = false;
      break;
    }
    budget -= static_cast<std::size_t>(got);
    const char* pos = buffer;
    const char* const end = pos + got;
    while (pos < end) {
      if (!continues) {
        pos = texts.TakeLines(pos, end, kMaxReadLineLength, [&](LineText text) {
          auto* node = new LineNode{std::move(text), nullptr, tail, false};
          link(node);
          NoteInclude(node->text, includeList);
        });
        if (pos == end) break;
      }
      const std::size_t open = texts.open_size();
      const std::size_t avail = static_cast<std::size_t>(end - pos);
      const std::size_t window = std::min(avail, kMaxReadLineLength - open);
      const auto* newline = static_cast<const char*>(std::memchr(pos, '\n', window));
      const std::size_t take = newline != nullptr ? static_cast<std::size_t>(newline - pos) + 1 : window;
      texts.Append(pos, take);
      pos += take;
      if (newline == nullptr && open + take < kMaxReadLineLength) continue;  // the line goes on in the next read
      auto* node = new LineNode{texts.Close(), nullptr, tail, continues};
      link(node);
      // A piece that continues a cut line is no line of its own: never an include.
      if (!continues) NoteInclude(node->text, includeList);
      continues = newline == nullptr;
    }
  }
  // The last node holds what follows the last terminator (empty after a
  // final line end).
  link(new LineNode{texts.Close(), nullptr, tail, continues});
  return complete;
}

// What opening a configuration file for reading gave.
struct OpenedFile {
  int fd = -1;
  bool refused = false;  // exists, but is no regular file
  struct stat st {};
};

// Opens a configuration file for reading. Only a regular file is opened
// (after following symbolic links): anything else is refused without being
// opened for reading, so that neither a FIFO nor a device can hold the
// request up or feed it without end. A missing file is created empty, like
// fopen(path, "a+") does, with exactly `createMode` whatever the umask.
OpenedFile OpenForReading(const std::string& path, mode_t createMode) {
  OpenedFile result;
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    result.refused = true;
    return result;
  }
  // O_NONBLOCK: should the name have been swapped for a FIFO since the stat,
  // the open does not wait for a writer; fstat below refuses it.
  int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0 && errno == ENOENT) {
    // The request runs on one thread: the umask may be lifted for the open.
    const mode_t mask = ::umask(0);
    fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_APPEND | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, createMode);
    ::umask(mask);
  }
  if (fd < 0) return result;
  if (::fstat(fd, &result.st) != 0 || !S_ISREG(result.st.st_mode)) {
    ::close(fd);
    result.refused = true;
    return result;
  }
  result.fd = fd;
  return result;
}

// The file that writing `path` really replaces: symbolic links are followed
// (also a dangling one, whose target is then created), so that the link
// itself stays in place. Empty when the links loop.
std::string ResolveWriteTarget(const std::string& path) {
  std::string current = path;
  for (int depth = 0; depth < 40; ++depth) {
    struct stat st {};
    if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
    std::string target(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
    for (;;) {
      const ssize_t n = ::readlink(current.c_str(), target.data(), target.size());
      if (n < 0) return current;  // vanished meanwhile: write the path itself
      if (static_cast<std::size_t>(n) < target.size()) {
        target.resize(static_cast<std::size_t>(n));
        break;
      }
      target.resize(target.size() * 2);
    }
    if (!target.empty() && target.front() == '/') {
      current = std::move(target);
    } else {
      current = DirectoryPart(current) + "/" + target;
    }
  }
  errno = ELOOP;
  return std::string();
}

// Runs the test hook for `step`; true (with errno set) when it injects a failure.
bool Injected(ConfigWriteStep step, const std::string& target) {
  if (g_writeHook == nullptr) return false;
  const int err = g_writeHook(step, target.c_str());
  if (err == 0) return false;
  errno = err;
  return true;
}

bool WriteAll(int fd, const char* data, std::size_t size, const std::string& target) {
  while (size > 0) {
    if (Injected(ConfigWriteStep::kWriteData, target)) return false;
    const ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

// One file of a write-back, made ready for its rename: the temporary file
// beside the target is written, synced and closed.
struct PreparedFile {
  const ConfigFile* record = nullptr;
  std::string target;  // the path replaced (links resolved); for hooks and reports
  int dirFd = -1;      // the target's directory, owned by the batch
  std::string base;    // the target's name in that directory
  std::string temp;    // the temporary file's name there; empty once renamed
  bool existed = false;
  dev_t device = 0;    // what must still stand at `base` when it is replaced
  ino_t inode = 0;
  dev_t newDevice = 0;  // the temporary file, which takes its place
  ino_t newInode = 0;
};

// Why the last step failed, for the report.
struct WriteFailure {
  ConfigWriteProblem problem = ConfigWriteProblem::kFailed;
  std::string path;
};

// All files of one write-back. Every temporary file is written and synced
// before the first rename, so a failure up to then changes no file; the
// destructor removes the temporary files that were not renamed and closes
// the directories.
class WriteBatch {
 public:
  WriteBatch() = default;
  WriteBatch(const WriteBatch&) = delete;
  WriteBatch& operator=(const WriteBatch&) = delete;
  ~WriteBatch() {
    for (const PreparedFile& file : files_) {
      if (!file.temp.empty()) ::unlinkat(file.dirFd, file.temp.c_str(), 0);
    }
    for (const auto& dir : dirs_) ::close(dir.second);
  }

  // The directory, opened once per spelling; -1 when it cannot be opened.
  int Directory(const std::string& path) {
    for (const auto& dir : dirs_) {
      if (dir.first == path) return dir.second;
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) dirs_.emplace_back(path, fd);
    return fd;
  }

  bool Prepare(const ConfigFile& file, WriteFailure& failure);
  bool Commit(WriteFailure& failure);

 private:
  bool WriteTemp(PreparedFile& file, const LineList& lines, const struct stat* original);

  std::vector<std::pair<std::string, int>> dirs_;
  std::vector<PreparedFile> files_;
};

// A name for a temporary file beside `base`: hidden, recognisable, within
// NAME_MAX whatever the target's length, with a random part.
std::string TemporaryName(const std::string& base) {
  static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  unsigned char random[8] = {};
  if (::getrandom(random, sizeof random, 0) != static_cast<ssize_t>(sizeof random)) {
    const auto seed = static_cast<unsigned long long>(::getpid()) ^ static_cast<unsigned long long>(::time(nullptr));
    for (std::size_t i = 0; i < sizeof random; ++i) random[i] = static_cast<unsigned char>(seed >> (i * 5));
  }
  std::string name = "." + base.substr(0, 200) + ".cfgout-";
  for (unsigned char c : random) name += kLetters[c % (sizeof kLetters - 1)];
  return name;
}

bool WriteBatch::Prepare(const ConfigFile& file, WriteFailure& failure) {
  failure = WriteFailure{ConfigWriteProblem::kFailed, file.path};
  const std::string target = ResolveWriteTarget(file.path);
  if (target.empty()) return false;
  PreparedFile prepared;
  prepared.record = &file;
  prepared.target = target;
  prepared.dirFd = Directory(DirectoryPart(target));
  if (prepared.dirFd < 0) return false;
  const std::size_t slash = target.rfind('/');
  prepared.base = slash == std::string::npos ? target : target.substr(slash + 1);

  struct stat original {};
  if (::fstatat(prepared.dirFd, prepared.base.c_str(), &original, AT_SYMLINK_NOFOLLOW) == 0) {
    if (S_ISLNK(original.st_mode)) {
      // A link appeared where the resolution found none a moment ago.
      failure.problem = ConfigWriteProblem::kFileChanged;
      return false;
    }
    if (!S_ISREG(original.st_mode)) {
      // Renaming over a directory, device or pipe would replace the node
      // itself; only regular files are configuration files.
      errno = EINVAL;
      return false;
    }
    if (file.identified && (original.st_dev != file.device || original.st_ino != file.inode)) {
      // The name leads to another file than the one read (a link or the
      // file itself was swapped): writing would put this request's view of
      // one file into another.
      failure.problem = ConfigWriteProblem::kFileChanged;
      return false;
    }
    prepared.existed = true;
    prepared.device = original.st_dev;
    prepared.inode = original.st_ino;
  } else if (errno == ENOENT) {
    if (file.identified) {
      failure.problem = ConfigWriteProblem::kFileChanged;  // removed since it was read
      return false;
    }
  } else {
    return false;
  }

  files_.push_back(std::move(prepared));
  return WriteTemp(files_.back(), file.lines, files_.back().existed ? &original : nullptr);
}

bool WriteBatch::WriteTemp(PreparedFile& file, const LineList& lines, const struct stat* original) {
  const std::string& target = file.target;
  if (Injected(ConfigWriteStep::kCreateTemp, target)) return false;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    std::string name = TemporaryName(file.base);
    fd = ::openat(file.dirFd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0) {
      file.temp = std::move(name);
    } else if (errno != EEXIST) {
      return false;
    }
  }
  if (fd < 0) return false;

  bool ok = true;
  if (original != nullptr) {
    // Owner first: changing it may clear set-id bits that the mode restores.
    if (original->st_uid != ::geteuid() || original->st_gid != ::getegid()) {
      (void)::fchown(fd, original->st_uid, original->st_gid);  // allowed to fail without privileges
    }
    ok = ::fchmod(fd, original->st_mode & 07777) == 0;
  } else {
    ok = ::fchmod(fd, kCreatedFileMode) == 0;
  }

  if (ok) {
    // On the stack: a heap block of this size freed after every file would
    // make the allocator merge its small-block lists each time.
    char buffer[kIoBufferSize];
    std::size_t used = 0;
    // A line that was the last of its file may lack its line end; when a
    // line has been put after it, the line end is written between the two,
    // so that they stay two lines instead of running together into one
    // (an include line followed by a directive would name another file).
    bool lineEnded = true;
    for (const LineNode* line = lines.first(); ok && line != nullptr; line = line->next) {
      const LineText& text = line->text;
      if (text.empty()) continue;
      if (!lineEnded && !line->continuation()) {
        if (used == sizeof buffer) {
          ok = WriteAll(fd, buffer, used, target);
          used = 0;
        }
        buffer[used++] = '\n';
      }
      lineEnded = text.back() == '\n';
      if (used + text.size() > sizeof buffer && used > 0) {
        ok = WriteAll(fd, buffer, used, target);
        used = 0;
      }
      if (text.size() >= sizeof buffer) {
        ok = ok && WriteAll(fd, text.data(), text.size(), target);
      } else {
        std::memcpy(buffer + used, text.data(), text.size());
        used += text.size();
      }
    }
    if (ok && used > 0) ok = WriteAll(fd, buffer, used, target);
  }
  if (ok) ok = !Injected(ConfigWriteStep::kSyncData, target) && ::fsync(fd) == 0;
  struct stat written {};
  if (ok) ok = ::fstat(fd, &written) == 0;
  file.newDevice = written.st_dev;
  file.newInode = written.st_ino;

  int saved = errno;
  const bool injectedClose = ok && Injected(ConfigWriteStep::kCloseTemp, target);
  if (injectedClose) saved = errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    saved = errno;
  }
  if (injectedClose) ok = false;
  errno = saved;
  return ok;
}

bool WriteBatch::Commit(WriteFailure& failure) {
  // Every name must still lead to the file prepared for it before any is
  // replaced.
  for (const PreparedFile& file : files_) {
    struct stat now {};
    const bool present = ::fstatat(file.dirFd, file.base.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0;
    if (!present && errno != ENOENT) {
      failure = WriteFailure{ConfigWriteProblem::kFailed, file.target};
      return false;
    }
    const bool same = present ? file.existed && S_ISREG(now.st_mode) && now.st_dev == file.device &&
                                    now.st_ino == file.inode
                              : !file.existed;
    if (!same) {
      failure = WriteFailure{ConfigWriteProblem::kFileChanged, file.target};
      return false;
    }
  }
  for (PreparedFile& file : files_) {
    if (Injected(ConfigWriteStep::kRename, file.target) ||
        ::renameat(file.dirFd, file.temp.c_str(), file.dirFd, file.base.c_str()) != 0) {
      failure = WriteFailure{ConfigWriteProblem::kFailed, file.target};
      return false;
    }
    file.temp.clear();
    // The record now stands for the file that replaced the one read.
    file.record->identified = true;
    file.record->device = file.newDevice;
    file.record->inode = file.newInode;
  }
  // Makes the renames durable, once per directory (however it was spelled).
  // Some file systems refuse fsync on a directory; the files are replaced by
  // then, so that is no failure.
  std::vector<std::pair<dev_t, ino_t>> done;
  for (const auto& dir : dirs_) {
    struct stat st {};
    if (::fstat(dir.second, &st) == 0) {
      const std::pair<dev_t, ino_t> id{st.st_dev, st.st_ino};
      if (std::find(done.begin(), done.end(), id) != done.end()) continue;
      done.push_back(id);
    }
    (void)::fsync(dir.second);
  }
  return true;
}

}  // namespace

void SetConfigWriteHook(ConfigWriteHook hook) { g_writeHook = hook; }

ConfigFile& ConfigHandle::AddFile(std::string path) {
  auto file = std::make_unique<ConfigFile>();
  file->path = std::move(path);
  file->lines.watch();
  ConfigFile* previous = last();
  file->prev = previous;
  files_.push_back(std::move(file));
  ConfigFile* added = files_.back().get();
  if (previous != nullptr) previous->next = added;
  return *added;
}

std::unique_ptr<ConfigHandle> HTTPDConfigOpen(const char* path) {
  if (path == nullptr || *path == '\0') return nullptr;
  std::vector<std::string> includeList{std::string(path)};
  auto handle = std::make_unique<ConfigHandle>();
  std::vector<std::pair<dev_t, ino_t>> seen;
  std::size_t budget = kMaxConfigBytes;
  // One read buffer for all files. On the heap: on the stack, each of its
  // pages would first be touched through a fault of its own; and freed
  // once, after the last file, it leaves room that a page's later blocks
  // of that size reuse (a table's rows), instead of more memory.
  const std::unique_ptr<char[]> buffer = std::make_unique_for_overwrite<char[]>(kReadBufferBytes);
  // Files the program creates are private: as the main file at most, and
  // never more than 0640.
  mode_t createMode = kCreatedFileMode;
  // The include list grows while it is read: breadth-first order.
  for (std::size_t i = 0; i < includeList.size(); ++i) {
    if (handle->file_count() >= kMaxConfigFiles) {
      handle->AddRefused(includeList[i], ConfigRefusal::kTooLarge);
      break;
    }
    const OpenedFile opened = OpenForReading(includeList[i], createMode);
    if (opened.fd < 0) {
      if (i == 0) return nullptr;
      if (opened.refused) handle->AddRefused(includeList[i], ConfigRefusal::kNotRegularFile);
      continue;
    }
    // One file under two names ("a.conf", "./a.conf", a link) is read once.
    const std::pair<dev_t, ino_t> id{opened.st.st_dev, opened.st.st_ino};
    if (std::find(seen.begin(), seen.end(), id) != seen.end()) {
      ::close(opened.fd);
      continue;
    }
    seen.push_back(id);
    if (i == 0) createMode = (opened.st.st_mode & kCreatedFileMode) | S_IRUSR | S_IWUSR;
    ConfigFile& file = handle->AddFile(includeList[i]);
    file.identified = true;
    file.device = id.first;
    file.inode = id.second;
    const bool complete = ReadLines(opened.fd, file.lines, includeList, budget,
                                    static_cast<std::size_t>(opened.st.st_size > 0 ? opened.st.st_size : 0),
                                    buffer.get());
    ::close(opened.fd);
    if (!complete) {
      handle->AddRefused(includeList[i], ConfigRefusal::kTooLarge);
      break;
    }
  }
  return handle;
}

std::unique_ptr<ConfigHandle> HTTPDConfigOpen(const std::string& path) {
  return HTTPDConfigOpen(path.c_str());
}

bool HTTPDConfigLinesFit(const ConfigHandle& handle, std::string* path) {
  for (const ConfigFile& file : handle) {
    for (const LineNode* line = file.lines.first(); line != nullptr; line = line->next) {
      // Pieces of a cut line are at most kMaxReadLineLength long each, by
      // construction; only longer nodes need a closer look.
      if (line->text.size() <= kMaxReadLineLength) continue;
      std::string_view rest(line->text);
      while (!rest.empty()) {
        const std::size_t newline = rest.find('\n');
        const std::size_t length = newline == std::string_view::npos ? rest.size() : newline + 1;
        if (length > kMaxReadLineLength) {
          if (path != nullptr) *path = file.path;
          return false;
        }
        rest.remove_prefix(length);
      }
    }
  }
  return true;
}

int HTTPDConfigWrite(const ConfigHandle& handle) { return HTTPDConfigWrite(handle, nullptr); }

int HTTPDConfigWrite(const ConfigHandle& handle, ConfigWriteReport* report) {
  ConfigWriteReport local;
  ConfigWriteReport& out = report != nullptr ? *report : local;
  out = ConfigWriteReport();
  if (!handle.refused().empty()) {
    // The configuration was not read in full; writing it back would write
    // what the request could not see.
    out.problem = ConfigWriteProblem::kRefusedFile;
    out.path = handle.refused().front().path;
    errno = EINVAL;
    return -1;
  }
  if (!HTTPDConfigLinesFit(handle, &out.path)) {
    out.problem = ConfigWriteProblem::kLineTooLong;
    errno = EMSGSIZE;
    return -1;
  }
  // Every line would pass the classification of IsWriteLine (all of its
  // results allow writing), so lines are written without asking it.
  for (const ConfigFile& file : handle) {
    if (file.path.empty()) {
      out.problem = ConfigWriteProblem::kNoPath;
      errno = EINVAL;
      return -1;
    }
  }
  WriteBatch batch;
  WriteFailure failure;
  for (const ConfigFile& file : handle) {
    if (!batch.Prepare(file, failure)) {
      const int saved = errno;
      out.problem = failure.problem;
      out.path = failure.path;
      errno = saved;
      return -1;
    }
  }
  if (!batch.Commit(failure)) {
    const int saved = errno;
    out.problem = failure.problem;
    out.path = failure.path;
    errno = saved;
    return -1;
  }
  return 0;
}

int HTTPDConfigClose(std::unique_ptr<ConfigHandle> handle, bool write) {
  if (!handle) return -1;
  int result = 0;
  if (write && HTTPDConfigWrite(*handle) != 0) result = -1;
  handle.reset();
  return result;
}

void HTTPDAddNewConfigFile(std::vector<std::string>& includeList, std::string_view text) {
  std::size_t start = 0;
  while (start < text.size() && (text[start] == ' ' || text[start] == '\t')) ++start;
  if (start == text.size()) return;
  const char next = text[start];
  if (next == '\r' || next == '\n' || next == '#') return;
  std::string name(text.substr(start));
  for (std::size_t i = 1; i < name.size(); ++i) {
    if (name[i] == '#' && name[i - 1] != '\\') {
      name.resize(i);
      break;
    }
  }
  while (!name.empty()) {
    const char c = name.back();
    if (c != ' ' && c != '\t' && c != '\r' && c != '\n') break;
    name.pop_back();
  }
  if (name.empty()) return;
  for (const std::string& known : includeList) {
    if (known == name) return;
  }
  includeList.push_back(std::move(name));
}

int IsWriteLine(std::string_view line) {
  constexpr std::string_view kSeparators = " \t\n";
  const std::size_t begin = line.find_first_not_of(kSeparators);
  if (begin == std::string_view::npos) return 3;
  std::size_t end = line.find_first_of(kSeparators, begin);
  if (end == std::string_view::npos) end = line.size();
  const std::string_view word = line.substr(begin, end - begin);
  if (std::string_view("\"#()@{}").find(word.front()) != std::string_view::npos) return 2;
  if (word.find('=') != std::string_view::npos || word.find('@') != std::string_view::npos ||
      word.find("PicsRule-1.0") != std::string_view::npos) {
    return 2;
  }
  return line.find_first_not_of(kSeparators, end) == std::string_view::npos ? 4 : 1;
}

char* strupr(char* s) {
  if (s != nullptr) {
    for (char* p = s; *p != '\0'; ++p) *p = AsciiUpper(*p);
  }
  return s;
}

char* strlwr(char* s) {
  if (s != nullptr) {
    for (char* p = s; *p != '\0'; ++p) *p = AsciiLower(*p);
  }
  return s;
}

std::string& strupr(std::string& s) { return UpperCaseInPlace(s); }

std::string& strlwr(std::string& s) { return LowerCaseInPlace(s); }

int stricmp(const char* a, const char* b) {
  if (a == nullptr || b == nullptr) return a == b ? 0 : (a == nullptr ? -1 : 1);
  return CompareIgnoringCase(a, b, static_cast<std::size_t>(-1));
}

int strnicmp(const char* a, const char* b, std::size_t n) {
  if (a == nullptr || b == nullptr) return a == b ? 0 : (a == nullptr ? -1 : 1);
  return CompareIgnoringCase(std::string_view(a, ::strnlen(a, n)), std::string_view(b, ::strnlen(b, n)), n);
}

int stricmp(std::string_view a, std::string_view b) {
  return CompareIgnoringCase(a, b, static_cast<std::size_t>(-1));
}

int strnicmp(std::string_view a, std::string_view b, std::size_t n) { return CompareIgnoringCase(a, b, n); }

}  // namespace cfgout
