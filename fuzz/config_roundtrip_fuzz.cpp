// Any bytes, read as a configuration file and written back unchanged, give
// the same bytes; the line split keeps every line within the read limit.

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "config/config.h"

namespace {

std::string ScratchFile() {
  static const std::string path = [] {
    const char* base = std::getenv("TMPDIR");
    return std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/cfgout-fuzz-" +
           std::to_string(::getpid()) + ".conf";
  }();
  return path;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  // An include line would make the reader open (and create) arbitrary paths;
  // inputs naming the include keyword are left to the unit tests.
  std::string lower = input;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (lower.find("configfile") != std::string::npos) return 0;

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
  if (ReadAll(path) != input) std::abort();
  return 0;
}
