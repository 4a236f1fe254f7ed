// cfgout_bundle_compiler: turns a bundle's message sources into ICU resource
// bundle text for genrb.
//
//   cfgout_bundle_compiler --source-dir DIR --output FILE
//                          [--table NAME] [--force-encoding NAME | --no-force-encoding]
//
// The output is written only when its content changes, so unchanged sources
// do not make genrb run again.

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <string_view>

#include "bundle_sources.h"

namespace {

int Usage() {
  std::fputs(
      "usage: cfgout_bundle_compiler --source-dir DIR --output FILE [--table NAME]\n"
      "                              [--force-encoding NAME | --no-force-encoding]\n",
      stderr);
  return 2;
}

bool SameContent(const std::string& path, const std::string& content) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::string existing((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return existing == content;
}

}  // namespace

int main(int argc, char** argv) {
  std::string sourceDir, output, table = "root";
  cfgout::bundles::Bundle bundle;
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--source-dir" && hasValue) {
      sourceDir = argv[++i];
    } else if (arg == "--output" && hasValue) {
      output = argv[++i];
    } else if (arg == "--table" && hasValue) {
      table = argv[++i];
    } else if (arg == "--force-encoding" && hasValue) {
      bundle.forceEncoding = argv[++i];
    } else if (arg == "--no-force-encoding") {
      bundle.forceEncoding.clear();
    } else {
      return Usage();
    }
  }
  if (sourceDir.empty() || output.empty() || table.empty()) return Usage();

  std::string error;
  std::string text;
  if (!cfgout::bundles::CollectBundle(sourceDir, bundle, error) ||
      !cfgout::bundles::WriteIcuText(bundle, table, text, error)) {
    std::fprintf(stderr, "cfgout_bundle_compiler: %s\n", error.c_str());
    return 1;
  }
  if (SameContent(output, text)) return 0;
  std::ofstream out(output, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (!out) {
    std::fprintf(stderr, "cfgout_bundle_compiler: cannot write %s\n", output.c_str());
    return 1;
  }
  return 0;
}
