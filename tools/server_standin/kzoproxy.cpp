// kzoproxy stand-in: takes the place of the proxy server for the demo and
// the tests of the restart page.
//
//   kzoproxy -restart
//
// reads the configuration named by RULE_FILE, as a restarting server would,
// and appends one line to the restart log beside it ("<RULE_FILE>.restart.log"):
//
//   <UTC time> restart <file>: <n> lines
//   <UTC time> restart <file>: cannot read: <reason>
//
// It runs with standard output closed (the restart page has already sent its
// answer), so it reports only through the log and its exit status: 0 when the
// line was written, 1 for a usage error, 2 when the log cannot be written.

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string>

namespace {

std::string UtcNow() {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  ::gmtime_r(&now, &tm);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm);
  return text;
}

// "<n> lines", or "cannot read: <reason>". A last line without a line feed
// counts as a line.
std::string ReadOutcome(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::string("cannot read: ") + std::strerror(errno);
  long lines = 0;
  char last = '\n';
  char buffer[65536];
  while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
    const std::streamsize n = in.gcount();
    for (std::streamsize i = 0; i < n; ++i) {
      if (buffer[i] == '\n') ++lines;
    }
    last = buffer[n - 1];
  }
  if (in.bad()) return std::string("cannot read: ") + std::strerror(errno);
  if (last != '\n') ++lines;
  return std::to_string(lines) + (lines == 1 ? " line" : " lines");
}

bool AppendLine(const std::string& log, const std::string& line) {
  const int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  // One write with O_APPEND: concurrent restarts never interleave lines.
  const ssize_t n = ::write(fd, line.data(), line.size());
  const bool ok = n == static_cast<ssize_t>(line.size());
  return ::close(fd) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 || std::strcmp(argv[1], "-restart") != 0) {
    std::fputs("usage: kzoproxy -restart   (RULE_FILE names the configuration)\n", stderr);
    return 1;
  }
  const char* ruleFile = std::getenv("RULE_FILE");
  if (ruleFile == nullptr || *ruleFile == '\0') {
    std::fputs("kzoproxy: RULE_FILE is not set\n", stderr);
    return 1;
  }
  const std::string file = ruleFile;
  std::string line = UtcNow() + " restart " + file + ": " + ReadOutcome(file);
  for (char& c : line) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  line += '\n';
  if (!AppendLine(file + ".restart.log", line)) {
    std::fprintf(stderr, "kzoproxy: cannot write %s.restart.log: %s\n", ruleFile, std::strerror(errno));
    return 2;
  }
  return 0;
}
