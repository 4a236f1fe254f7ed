// Any bytes, read as a configuration file and written back unchanged, give
// the same bytes; the line split keeps every line within the read limit.

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include "config/config.h"
#include "runtime/ascii.h"
#include "runtime/file_bytes.h"

namespace {

std::string ScratchFile() {
  static const std::string path = [] {
    const char* base = std::getenv("TMPDIR");
    return std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/cfgout-fuzz-" +
           std::to_string(::getpid()) + ".conf";
  }();
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  // An include line would make the reader open (and create) arbitrary paths;
  // inputs naming the include keyword are left to the unit tests.
  if (cfgout::UpperCaseCopy(input).find("CONFIGFILE") != std::string::npos) return 0;

  const std::string path = ScratchFile();
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(input.data(), static_cast<std::streamsize>(input.size()));
  }
  auto cfg = cfgout::HTTPDConfigOpen(path);
  if (!cfg || cfg->file_count() != 1) std::abort();
  std::string joined;
  for (const cfgout::LineNode& line : cfg->first()->lines) {
    if (line.text.size() > cfgout::kMaxReadLineLength) std::abort();
    joined += line.text;
  }
  if (joined != input) std::abort();
  if (cfgout::HTTPDConfigWrite(*cfg) != 0) std::abort();
  std::string written;
  if (!cfgout::ReadRegularFile(path, written) || written != input) std::abort();
  return 0;
}
