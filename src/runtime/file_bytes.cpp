#include "runtime/file_bytes.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace cfgout {

bool ReadRegularFileInPieces(const std::string& path, const std::function<bool(std::string_view)>& piece) {
  FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (fd.get() < 0) return false;
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) return false;
  if (!S_ISREG(st.st_mode)) {
    errno = EINVAL;
    return false;
  }
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    if (!piece(std::string_view(buffer, static_cast<std::size_t>(n)))) return false;
  }
}

bool ReadRegularFile(const std::string& path, std::string& bytes) {
  return ReadRegularFileInPieces(path, [&bytes](std::string_view piece) {
    bytes.append(piece);
    return true;
  });
}

bool WriteAllBytes(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

std::vector<std::string_view> SplitLinesKeepingEnds(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    end = end == std::string_view::npos ? text.size() : end + 1;
    lines.emplace_back(text.substr(start, end - start));
    start = end;
  }
  return lines;
}

std::string DirectoryPart(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

bool ReplaceFileContents(const std::string& path, std::string_view text, const ReplaceOptions& options) {
  const std::string dir = DirectoryPart(path);
  const std::size_t slash = path.rfind('/');
  const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  // The temporary name stays within a file name's length limit.
  std::string temp = dir + "/." + base.substr(0, 200) + "." + std::string(options.tag) + "-XXXXXX";
  FileDescriptor fd(::mkostemp(temp.data(), O_CLOEXEC));
  if (fd.get() < 0) return false;
  if (options.owner != nullptr && (options.owner->st_uid != ::geteuid() || options.owner->st_gid != ::getegid())) {
    // Keeping the owner matters when root edits a file the web server reads;
    // failing to keep it (as an ordinary user) is no error.
    if (::fchown(fd.get(), options.owner->st_uid, options.owner->st_gid) != 0) errno = 0;
  }
  bool ok = ::fchmod(fd.get(), options.mode) == 0 && WriteAllBytes(fd.get(), text) && ::fsync(fd.get()) == 0;
  ok = fd.Close() && ok;
  if (ok && options.mustBeNew) {
    // link() refuses to replace a file that appeared meanwhile.
    ok = ::link(temp.c_str(), path.c_str()) == 0;
    const int saved = errno;
    ::unlink(temp.c_str());
    errno = saved;
  } else if (ok) {
    ok = ::rename(temp.c_str(), path.c_str()) == 0;
  }
  if (!ok) {
    const int saved = errno;
    ::unlink(temp.c_str());
    errno = saved;
    return false;
  }
  FileDescriptor dirFd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dirFd.get() >= 0) (void)::fsync(dirFd.get());
  return true;
}

}  // namespace cfgout
