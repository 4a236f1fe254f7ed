#include "config/config_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "config/config_write_hooks.h"
#include "runtime/ascii.h"

namespace cfgout {

namespace {

constexpr std::string_view kIncludeKeyword = "configfile";
constexpr std::string_view kRcaIncludeKeyword = "rcaconfigfile";
constexpr std::size_t kIoBufferSize = 64 * 1024;

ConfigWriteHook g_writeHook = nullptr;

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

// A completed line: if it is an include line, note the file it names. The
// line is looked at as a C string, so a NUL byte ends it here.
void NoteInclude(const std::string& text, std::vector<std::string>& includeList) {
  const char first = AsciiLower(text.empty() ? '\0' : text.front());
  if (first != 'c' && first != 'r') return;  // cheap test first: most lines are no include lines
  std::string_view line(text.c_str());
  if (StartsWithIgnoringCase(line, kIncludeKeyword)) {
    HTTPDAddNewConfigFile(includeList, line.substr(kIncludeKeyword.size()));
  } else if (StartsWithIgnoringCase(line, kRcaIncludeKeyword)) {
    HTTPDAddNewConfigFile(includeList, line.substr(kRcaIncludeKeyword.size()));
  }
}

// Reads the whole file into `lines`, one node per line (terminator kept),
// splitting lines longer than kMaxReadLineLength. A read error ends the file
// like the end of file does. The last node holds what follows the last
// terminator, so it is empty when the file ends with "\n" or is empty.
// Reads at most `budget` bytes; false (with what was read so far kept) when
// the file holds more.
bool ReadLines(int fd, LineList& lines, std::vector<std::string>& includeList, std::size_t& budget) {
  LineNode* current = &lines.Append(std::string());
  // On the stack: a heap block of this size would make every read of a file
  // end with a costly consolidation of the allocator's small-block lists.
  char buffer[kIoBufferSize];
  for (;;) {
    // One byte more than the budget tells a file that is too large.
    const std::size_t want = budget < sizeof buffer ? budget + 1 : sizeof buffer;
    ssize_t got = ::read(fd, buffer, want);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    if (static_cast<std::size_t>(got) > budget) return false;
    budget -= static_cast<std::size_t>(got);
    const char* pos = buffer;
    const char* end = pos + got;
    while (pos < end) {
      const std::size_t room = kMaxReadLineLength - current->text.size();
      const std::size_t avail = static_cast<std::size_t>(end - pos);
      const std::size_t window = avail < room ? avail : room;
      const auto* newline = static_cast<const char*>(std::memchr(pos, '\n', window));
      const std::size_t take = newline != nullptr ? static_cast<std::size_t>(newline - pos) + 1 : window;
      current->text.append(pos, take);
      pos += take;
      if (newline != nullptr || current->text.size() == kMaxReadLineLength) {
        // A line that grew over several reads may hold spare capacity.
        if (current->text.capacity() > current->text.size() + 32) current->text.shrink_to_fit();
        // A piece that continues a cut line is no line of its own: never an include.
        if (!current->continuation) NoteInclude(current->text, includeList);
        auto* next = new LineNode;
        next->continuation = newline == nullptr;
        next->prev = current;
        current->next = next;
        current = next;
      }
    }
  }
  return true;
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
// fopen(path, "a+") does.
OpenedFile OpenForReading(const std::string& path) {
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
    fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_APPEND | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
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

std::string DirectoryOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
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
      current = DirectoryOf(current) + "/" + target;
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

// Writes the lines to a temporary file beside the target and renames it over
// the target. On failure the target is untouched and the temporary removed.
// The directory of a replaced file is noted in `renamedIn` (once).
bool ReplaceFile(const std::string& path, const LineList& lines, std::vector<std::string>& renamedIn) {
  const std::string target = ResolveWriteTarget(path);
  if (target.empty()) return false;

  struct stat original {};
  const bool exists = ::stat(target.c_str(), &original) == 0;
  if (exists && !S_ISREG(original.st_mode)) {
    // Renaming over a directory, device or pipe would replace the node
    // itself; only regular files are configuration files.
    errno = EINVAL;
    return false;
  }

  const std::string directory = DirectoryOf(target);
  const std::size_t slash = target.rfind('/');
  const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
  // The temporary name stays within NAME_MAX whatever the target's length.
  std::string temp = directory + "/." + base.substr(0, 200) + ".cfgout-XXXXXX";

  if (Injected(ConfigWriteStep::kCreateTemp, target)) return false;
  int fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) return false;

  bool ok = true;
  if (exists) {
    // Owner first: changing it may clear set-id bits that the mode restores.
    if (original.st_uid != ::geteuid() || original.st_gid != ::getegid()) {
      (void)::fchown(fd, original.st_uid, original.st_gid);  // allowed to fail without privileges
    }
    ok = ::fchmod(fd, original.st_mode & 07777) == 0;
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ok = ::fchmod(fd, 0666 & ~mask) == 0;
  }

  if (ok) {
    char buffer[kIoBufferSize];  // on the stack, as in ReadLines
    std::size_t used = 0;
    for (const LineNode* line = lines.first(); ok && line != nullptr; line = line->next) {
      const std::string& text = line->text;
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

  int saved = errno;
  const bool injectedClose = ok && Injected(ConfigWriteStep::kCloseTemp, target);
  if (injectedClose) saved = errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    saved = errno;
  }
  if (injectedClose) ok = false;

  if (ok) {
    if (Injected(ConfigWriteStep::kRename, target) || ::rename(temp.c_str(), target.c_str()) != 0) {
      ok = false;
      saved = errno;
    }
  }
  if (!ok) {
    ::unlink(temp.c_str());
    errno = saved;
    return false;
  }
  renamedIn.push_back(directory);
  return true;
}

// Makes the renames durable, once per directory (however it was spelled).
// Some file systems refuse fsync on a directory; the files are replaced by
// then, so that is no failure.
void SyncDirectories(const std::vector<std::string>& directories) {
  std::vector<std::pair<dev_t, ino_t>> done;
  for (const std::string& directory : directories) {
    const int dirFd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0) continue;
    struct stat st {};
    if (::fstat(dirFd, &st) == 0) {
      const std::pair<dev_t, ino_t> id{st.st_dev, st.st_ino};
      if (std::find(done.begin(), done.end(), id) != done.end()) {
        ::close(dirFd);
        continue;
      }
      done.push_back(id);
    }
    (void)::fsync(dirFd);
    ::close(dirFd);
  }
}

}  // namespace

void SetConfigWriteHook(ConfigWriteHook hook) { g_writeHook = hook; }

ConfigFile& ConfigHandle::AddFile(std::string path) {
  auto file = std::make_unique<ConfigFile>();
  file->path = std::move(path);
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
  // The include list grows while it is read: breadth-first order.
  for (std::size_t i = 0; i < includeList.size(); ++i) {
    if (handle->file_count() >= kMaxConfigFiles) {
      handle->AddRefused(includeList[i], ConfigRefusal::kTooLarge);
      break;
    }
    const OpenedFile opened = OpenForReading(includeList[i]);
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
    ConfigFile& file = handle->AddFile(includeList[i]);
    file.identified = true;
    file.device = id.first;
    file.inode = id.second;
    const bool complete = ReadLines(opened.fd, file.lines, includeList, budget);
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
  std::vector<std::string> renamedIn;
  int result = 0;
  for (const ConfigFile& file : handle) {
    if (file.path.empty()) {
      out.problem = ConfigWriteProblem::kNoPath;
      result = -1;
      break;
    }
    if (!ReplaceFile(file.path, file.lines, renamedIn)) {
      out.problem = ConfigWriteProblem::kFailed;
      out.path = file.path;
      result = -1;
      break;
    }
  }
  SyncDirectories(renamedIn);
  return result;
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
