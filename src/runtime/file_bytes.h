#pragma once
// Whole files as bytes: reading a regular file, writing all of a buffer, and
// replacing a file's contents atomically. For the program's side files (the
// password and group files, the change history's view of the configuration);
// the configuration store has its own writer.

#include <sys/stat.h>
#include <sys/types.h>

#include <unistd.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace cfgout {

// An open file descriptor, closed when it goes out of scope.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }
  // Closes now, reporting a failed close (a late write error).
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

// Hands `piece` the bytes of the regular file `path` in pieces of up to
// 64 KiB, in order, until it returns false. False (errno set) when the file
// cannot be opened, is not a regular file (a FIFO is never waited for), or a
// read fails; false too when `piece` stopped the reading.
bool ReadRegularFileInPieces(const std::string& path, const std::function<bool(std::string_view)>& piece);

// Appends the bytes of the regular file `path` to `bytes`. False (errno set)
// when it cannot be opened, is not a regular file (a FIFO is never waited
// for), or a read fails.
bool ReadRegularFile(const std::string& path, std::string& bytes);

// Writes all of `data` to `fd`, retrying short and interrupted writes.
bool WriteAllBytes(int fd, std::string_view data);

// The text's lines, each with its "\n" when it had one, as views into `text`.
std::vector<std::string_view> SplitLinesKeepingEnds(std::string_view text);

// The directory part of `path` ("." without one, "/" for a file in the root).
std::string DirectoryPart(const std::string& path);

// How ReplaceFileContents treats the file it writes.
struct ReplaceOptions {
  mode_t mode = 0600;                 // permission bits of the new file
  const struct stat* owner = nullptr;  // keep this owner and group where allowed
  bool mustBeNew = false;             // fail (EEXIST) when `path` appeared meanwhile
  std::string_view tag = "cfgout";    // part of the temporary file's name
};

// Replaces the file `path` (no symbolic link: resolve it first) by `text`
// without ever truncating it in place: a temporary file beside it, synced,
// then renamed over it (or linked, with mustBeNew), then the directory
// synced. Nothing changes on failure (errno set).
bool ReplaceFileContents(const std::string& path, std::string_view text, const ReplaceOptions& options);

}  // namespace cfgout
