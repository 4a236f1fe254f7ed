// One whole request - environment, posted body and a small configuration of
// a main file and one include - runs without a memory error, within bounds,
// and never adds a line of its own to the configuration: whatever is
// posted, the include lines after the request are the ones before it.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fuzzer/FuzzedDataProvider.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "cgi/request.h"
#include "cgi/request_lock.h"
#include "config/config.h"
#include "html/templates.h"
#include "runtime/ascii.h"
#include "runtime/page_output.h"

namespace {

// The scratch folder, under TMPDIR (scripts/fuzz.sh points it to a memory
// file system: every run writes the configuration back), else /dev/shm or
// /tmp; removed when the fuzzer exits.
const std::string& ScratchDir() {
  // Never destroyed: the clean-up at exit runs after static destructors.
  static const std::string& dir = *new std::string([] {
    const char* tmp = std::getenv("TMPDIR");
    std::string base = tmp != nullptr && *tmp != '\0' ? tmp : "/dev/shm";
    struct stat st {};
    if (::stat(base.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) base = "/tmp";
    std::string path = base + "/cfgout-request-fuzz-" + std::to_string(::getpid());
    ::mkdir(path.c_str(), 0700);
    std::atexit([] {
      for (const char* name : {"/main.conf", "/main.conf.lock", "/main.conf.history", "/inc.conf"}) {
        ::unlink((ScratchDir() + name).c_str());
      }
      ::rmdir(ScratchDir().c_str());
    });
    return path;
  }());
  return dir;
}

void WriteAll(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// The fuzzer must not make the program read or create files elsewhere: any
// include keyword in the generated text is defused (its first letter
// changed); the one include of the configuration is added by the harness.
std::string Defused(std::string text) {
  const std::string lower = cfgout::UpperCaseCopy(text);
  for (std::size_t at = lower.find("CONFIGFILE"); at != std::string::npos; at = lower.find("CONFIGFILE", at + 1)) {
    text[at] = 'x';
  }
  return text;
}

// The include lines of the main file (its lines that start with an include
// keyword), as the reader sees them.
std::vector<std::string> IncludeLines(const std::string& path) {
  std::vector<std::string> out;
  auto cfg = cfgout::HTTPDConfigOpen(path);
  if (!cfg) return out;
  for (const cfgout::LineNode& line : cfg->first()->lines) {
    if (line.continuation()) continue;
    const std::string upper = cfgout::UpperCaseCopy(line.text);
    if (upper.starts_with("CONFIGFILE") || upper.starts_with("RCACONFIGFILE")) out.emplace_back(line.text);
  }
  return out;
}

std::string PickOr(FuzzedDataProvider& in, std::initializer_list<const char*> choices) {
  const std::size_t n = choices.size();
  const std::size_t pick = in.ConsumeIntegralInRange<std::size_t>(0, n);
  if (pick < n) return *(choices.begin() + pick);
  return in.ConsumeRandomLengthString(40);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The page goes nowhere; libFuzzer reports on standard error.
  const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (null >= 0) ::dup2(null, STDOUT_FILENO);
  cfgout::ConfigLock::SetWaitLimit(std::chrono::milliseconds(0));
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const std::string dir = ScratchDir();
  const std::string mainPath = dir + "/main.conf";
  const std::string includePath = dir + "/inc.conf";

  const std::string method = PickOr(in, {"POST", "GET", "post", "HEAD"});
  const std::string page = PickOr(in, {"/BASIC", "/basic", "/x/BaSiC", "/CFG_INTRO", "BASIC"});
  const std::string package = PickOr(in, {"3", "0", "4", "-1", "99999999999999999999"});
  const int lengthMode = in.ConsumeIntegralInRange<int>(0, 3);
  const std::string lengthText = in.ConsumeRandomLengthString(12);
  const int delta = in.ConsumeIntegralInRange<int>(-3, 3);
  const std::string mainText = Defused(in.ConsumeRandomLengthString(2048));
  const std::string includeText = Defused(in.ConsumeRandomLengthString(1024));
  const std::string body = in.ConsumeRemainingBytesAsString();

  // Pages that run other programs (the server restart replaces the process,
  // the user pages run the password tool) are not this target's business;
  // the dispatch goes by the page's number, whatever its name.
  const int index = cfgout::IndexFromHtmlName(cfgout::PageNameFromPathInfo(page));
  if (index == 4 || index == 10 || index == 11 || index == 13 || index == 84) return 0;

  WriteAll(mainPath, mainText + "\nconfigfile " + includePath + "\n");
  // No change history: a file in its place makes recording fail at once
  // (the change stands, with a warning), so runs stay independent and fast.
  WriteAll(mainPath + ".history", "no history\n");
  WriteAll(includePath, includeText);
  ::unlink((mainPath + ".lock").c_str());
  const std::vector<std::string> includesBefore = IncludeLines(mainPath);

  ::clearenv();
  ::setenv("PACKAGE_TYPE", package.c_str(), 1);
  ::setenv("SERVER_ROOT", dir.c_str(), 1);
  ::setenv("REQUEST_METHOD", method.c_str(), 1);
  ::setenv("PATH_INFO", page.c_str(), 1);
  ::setenv("RULE_FILE", mainPath.c_str(), 1);
  ::setenv("QUERY_STRING", "a=b", 1);
  // The announced length: exact, a little off (a short body), any text, or unset.
  const std::string length = lengthMode == 2 ? lengthText : std::to_string(static_cast<long>(body.size()) + (lengthMode == 1 ? delta : 0));
  if (lengthMode < 3) ::setenv("CONTENT_LENGTH", length.c_str(), 1);

  std::FILE* stream = body.empty() ? std::fopen("/dev/null", "rb")
                                   : ::fmemopen(const_cast<char*>(body.data()), body.size(), "rb");
  if (stream == nullptr) return 0;
  cfgout::RunCgiRequest(stream);
  cfgout::PageFlush();
  std::fclose(stream);

  // No request adds, removes or changes an include line.
  if (IncludeLines(mainPath) != includesBefore) std::abort();
  return 0;
}
