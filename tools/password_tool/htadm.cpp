// htadm: maintains the password file of the web administration.
//
//   htadm Q-create  FILE
//   htadm Q-adduser FILE USER PASSWORD DESCRIPTION
//   htadm Q-check   FILE USER PASSWORD
//   htadm Q-passwd  FILE USER NEWPASSWORD
//   htadm Q-deluser FILE USER
//
// The file is an htpasswd file as web servers read it for basic
// authentication: one "user:hash" line per user, the hash made by bcrypt. A
// user's description is kept on a comment line "#desc:user:text" right
// before its user line; web servers skip comment lines. Every other line is
// kept as it stands.
//
// Every change rewrites the whole file into a temporary file in the same
// directory, syncs it and renames it over the file, while holding an
// exclusive lock on "FILE.lock", so readers never see half a file and two
// changes never lose one another. The file stays private (no access for
// others). Passwords never appear in any output.
//
// Exit status: 0 success; 1 usage; 2 a user name, password or description
// that cannot be stored; 3 the file cannot be read; 4 the user exists
// already; 5 the file cannot be written or locked; 6 no such user; 7 wrong
// password; 8 the file exists already (create); 9 hashing failed.

#include <crypt.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "runtime/file_bytes.h"

namespace {

using cfgout::ReadRegularFile;
using cfgout::ReplaceFileContents;
using cfgout::ReplaceOptions;

enum ExitCode {
  kOk = 0,
  kUsage = 1,
  kBadValue = 2,
  kCannotRead = 3,
  kUserExists = 4,
  kCannotWrite = 5,
  kNoSuchUser = 6,
  kWrongPassword = 7,
  kFileExists = 8,
  kHashFailed = 9,
};

constexpr std::string_view kDescPrefix = "#desc:";
constexpr unsigned long kBcryptCost = 10;

const char* const kUsageText =
    "usage: htadm COMMAND FILE [ARGUMENTS]\n"
    "  Q-create  FILE                             create an empty password file\n"
    "  Q-adduser FILE USER PASSWORD DESCRIPTION   add a user (exit 4: it exists)\n"
    "  Q-check   FILE USER PASSWORD               check a user's password\n"
    "  Q-passwd  FILE USER NEWPASSWORD            change a user's password\n"
    "  Q-deluser FILE USER                        delete a user\n"
    "exit status: 0 success, 1 usage, 2 value not storable, 3 file not readable,\n"
    "4 user exists, 5 file not writable, 6 no such user, 7 wrong password,\n"
    "8 file exists, 9 hashing failed\n";

// One line on standard error. Only file and user names go in, never a
// password.
int Fail(int code, const std::string& message) {
  std::fprintf(stderr, "htadm: %s\n", message.c_str());
  return code;
}

std::string Errno() { return std::strerror(errno); }

class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd() { if (fd_ >= 0) ::close(fd_); }
  Fd(Fd&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  Fd& operator=(Fd&& other) noexcept {
    if (this != &other) {
      if (fd_ >= 0) ::close(fd_);
      fd_ = other.fd_;
      other.fd_ = -1;
    }
    return *this;
  }
  int get() const { return fd_; }
 private:
  int fd_;
};

// A password file reached through a symbolic link is locked and replaced
// where the link points, so the link stays a link and every name of the file
// shares one lock. A file that does not exist yet keeps its name.
std::string Resolved(const std::string& path) {
  std::string file = path;
  if (char* resolved = ::realpath(path.c_str(), nullptr)) {
    file = resolved;
    std::free(resolved);
  }
  return file;
}

// Holds the exclusive lock on FILE.lock for the lifetime of the object. The
// password file itself cannot carry the lock: it is replaced by rename.
bool Lock(const std::string& file, Fd& lock) {
  const std::string path = Resolved(file) + ".lock";
  Fd fd(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
  if (fd.get() < 0) return false;
  int rc;
  do rc = ::flock(fd.get(), LOCK_EX); while (rc != 0 && errno == EINTR);
  if (rc != 0) return false;
  lock = std::move(fd);
  return true;
}

bool ReadAll(const std::string& file, std::string& out) { return ReadRegularFile(file, out); }

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

// Replaces `file` by `text`: temporary file beside it, fsync, rename, fsync
// of the directory. The mode is the old file's without any access for
// others (0600 for a new file); the owner and group are kept where allowed.
bool ReplaceFile(const std::string& path, const std::string& text, bool mustBeNew) {
  const std::string file = Resolved(path);
  struct stat old {};
  const bool exists = ::stat(file.c_str(), &old) == 0;
  if (exists && mustBeNew) {
    errno = EEXIST;
    return false;
  }
  return ReplaceFileContents(file, text,
                             ReplaceOptions{exists ? (old.st_mode & 0770) : mode_t{0600}, exists ? &old : nullptr,
                                            mustBeNew, "htadm"});
}

// A user name fits an htpasswd line when it is not empty, holds no ":" and
// no line break, and does not start with "#" (a comment to every reader).
bool ValidUser(std::string_view user) {
  return !user.empty() && user.find_first_of(":\r\n") == std::string_view::npos && user.front() != '#';
}

bool ValidPassword(std::string_view password) { return !password.empty(); }

bool ValidDescription(std::string_view text) { return text.find_first_of("\r\n") == std::string_view::npos; }

// The user named by a "user:hash" line, or "" for any other line.
std::string_view LineUser(std::string_view line) {
  if (line.empty() || line.front() == '#') return {};
  const std::size_t colon = line.find(':');
  return colon == std::string_view::npos ? std::string_view() : line.substr(0, colon);
}

// The user a description line belongs to, or "".
std::string_view DescUser(std::string_view line) {
  if (line.substr(0, kDescPrefix.size()) != kDescPrefix) return {};
  line.remove_prefix(kDescPrefix.size());
  const std::size_t colon = line.find(':');
  return colon == std::string_view::npos ? std::string_view() : line.substr(0, colon);
}

int FindUser(const std::vector<std::string>& lines, std::string_view user) {
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (LineUser(lines[i]) == user) return static_cast<int>(i);
  }
  return -1;
}

std::string Join(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) {
    text += line;
    text += '\n';
  }
  return text;
}

bool Hash(const std::string& password, std::string& hash) {
  // Work factor 2^10: libcrypt's default for bcrypt (2^5) is too cheap for
  // a file that may be copied off the machine; 2^10 still checks in tens of
  // milliseconds, which the web server pays on every authenticated request.
  char salt[CRYPT_GENSALT_OUTPUT_SIZE];
  if (crypt_gensalt_rn("$2b$", kBcryptCost, nullptr, 0, salt, sizeof salt) == nullptr) return false;
  auto data = std::make_unique<crypt_data>();
  const char* result = crypt_r(password.c_str(), salt, data.get());
  if (result == nullptr || result[0] == '*') return false;
  hash = result;
  return true;
}

bool Matches(const std::string& password, const std::string& hash) {
  auto data = std::make_unique<crypt_data>();
  const char* result = crypt_r(password.c_str(), hash.c_str(), data.get());
  if (result == nullptr || result[0] == '*') return false;
  const std::size_t n = std::strlen(result);
  if (n != hash.size()) return false;
  unsigned char diff = 0;
  for (std::size_t i = 0; i < n; ++i) diff |= static_cast<unsigned char>(result[i] ^ hash[i]);
  return diff == 0;
}

struct Args {
  std::string file;
  std::vector<std::string> values;
};

int Create(const Args& a) {
  Fd lock;
  if (!Lock(a.file, lock)) return Fail(kCannotWrite, "cannot lock " + a.file + ": " + Errno());
  if (!ReplaceFile(a.file, "", true)) {
    if (errno == EEXIST) return Fail(kFileExists, a.file + " exists already");
    return Fail(kCannotWrite, "cannot create " + a.file + ": " + Errno());
  }
  return kOk;
}

// Runs `edit` on the file's lines under the lock; writes them back when it
// returns kOk and `write` is set.
template <typename Edit>
int WithLines(const std::string& file, bool write, Edit&& edit) {
  Fd lock;
  if (write && !Lock(file, lock)) return Fail(kCannotWrite, "cannot lock " + file + ": " + Errno());
  std::string text;
  if (!ReadAll(file, text)) return Fail(kCannotRead, "cannot read " + file + ": " + Errno());
  std::vector<std::string> lines = SplitLines(text);
  const int rc = edit(lines);
  if (rc != kOk || !write) return rc;
  if (!ReplaceFile(file, Join(lines), false)) return Fail(kCannotWrite, "cannot write " + file + ": " + Errno());
  return kOk;
}

int AddUser(const Args& a) {
  const std::string& user = a.values[0];
  if (!ValidUser(user)) return Fail(kBadValue, "a user name must not be empty, start with # or hold : or a line break");
  if (!ValidPassword(a.values[1])) return Fail(kBadValue, "the password must not be empty");
  if (!ValidDescription(a.values[2])) return Fail(kBadValue, "a description must not hold a line break");
  return WithLines(a.file, true, [&](std::vector<std::string>& lines) {
    if (FindUser(lines, user) >= 0) return Fail(kUserExists, "user " + user + " exists already in " + a.file);
    std::string hash;
    if (!Hash(a.values[1], hash)) return Fail(kHashFailed, "hashing the password failed");
    if (!a.values[2].empty()) lines.push_back(std::string(kDescPrefix) + user + ":" + a.values[2]);
    lines.push_back(user + ":" + hash);
    return static_cast<int>(kOk);
  });
}

int Check(const Args& a) {
  const std::string& user = a.values[0];
  return WithLines(a.file, false, [&](std::vector<std::string>& lines) {
    const int at = ValidUser(user) ? FindUser(lines, user) : -1;
    if (at < 0) return Fail(kNoSuchUser, "no user " + user + " in " + a.file);
    const std::string hash = lines[at].substr(user.size() + 1);
    if (!Matches(a.values[1], hash)) return Fail(kWrongPassword, "wrong password for user " + user);
    return static_cast<int>(kOk);
  });
}

int ChangePassword(const Args& a) {
  const std::string& user = a.values[0];
  if (!ValidPassword(a.values[1])) return Fail(kBadValue, "the password must not be empty");
  return WithLines(a.file, true, [&](std::vector<std::string>& lines) {
    const int at = ValidUser(user) ? FindUser(lines, user) : -1;
    if (at < 0) return Fail(kNoSuchUser, "no user " + user + " in " + a.file);
    std::string hash;
    if (!Hash(a.values[1], hash)) return Fail(kHashFailed, "hashing the password failed");
    lines[at] = user + ":" + hash;
    return static_cast<int>(kOk);
  });
}

int DeleteUser(const Args& a) {
  const std::string& user = a.values[0];
  return WithLines(a.file, true, [&](std::vector<std::string>& lines) {
    const int at = ValidUser(user) ? FindUser(lines, user) : -1;
    if (at < 0) return Fail(kNoSuchUser, "no user " + user + " in " + a.file);
    std::vector<std::string> kept;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      if (static_cast<int>(i) == at || DescUser(lines[i]) == user) continue;
      kept.push_back(std::move(lines[i]));
    }
    lines = std::move(kept);
    return static_cast<int>(kOk);
  });
}

struct Command {
  const char* name;
  std::size_t values;
  int (*run)(const Args&);
};

constexpr Command kCommands[] = {
    {"Q-create", 0, &Create},       {"Q-adduser", 3, &AddUser},    {"Q-check", 2, &Check},
    {"Q-passwd", 2, &ChangePassword}, {"Q-deluser", 1, &DeleteUser},
};

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::fputs(kUsageText, stdout);
    return kOk;
  }
  if (argc < 3) {
    std::fputs(kUsageText, stderr);
    return kUsage;
  }
  for (const Command& c : kCommands) {
    if (std::strcmp(argv[1], c.name) != 0) continue;
    if (static_cast<std::size_t>(argc) != 3 + c.values) {
      return Fail(kUsage, std::string(c.name) + " takes " + std::to_string(c.values + 1) + " arguments (see --help)");
    }
    Args a;
    a.file = argv[2];
    if (a.file.empty()) return Fail(kUsage, "no password file given");
    for (int i = 3; i < argc; ++i) a.values.emplace_back(argv[i]);
    return c.run(a);
  }
  return Fail(kUsage, std::string("unknown command ") + argv[1] + " (see --help)");
}
