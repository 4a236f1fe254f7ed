// Command-line front of the catalogue check, run by CTest.
//
//   catalogue_check uses   <source-dir> <set1.msg> <set2.msg>
//       every message the code looks up exists, built-in texts agree with the
//       catalogue, and the catalogue's own rules hold
//   catalogue_check fields <form_variables.cpp> <set1.msg> <expected-rows>
//       every message the form variable table names exists in set 1
//   catalogue_check list   <source-dir>
//       prints every lookup found, for looking into a report
//
// Exit status: 0 = consistent, 1 = problems (listed on standard error),
// 2 = wrong arguments or unreadable catalogue, 77 = the table file does not
// exist (yet), which CTest reports as skipped.

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "nls/catalogue_check.h"

namespace {

using cfgout::catalogue::Catalogue;

constexpr int kSkipped = 77;

bool LoadCatalogue(const std::filesystem::path& path, Catalogue* out) {
  const auto content = cfgout::catalogue::ReadFile(path);
  if (!content) {
    std::cerr << "catalogue_check: cannot read " << path.string() << "\n";
    return false;
  }
  *out = cfgout::catalogue::ParseCatalogue(*content, path.filename().string());
  return true;
}

int Report(const std::vector<std::string>& problems, const std::string& summary) {
  for (const auto& p : problems) std::cerr << "catalogue_check: " << p << "\n";
  if (!problems.empty()) {
    std::cerr << "catalogue_check: " << problems.size() << " problem(s)\n";
    return 1;
  }
  std::cout << summary << "\n";
  return 0;
}

void Append(std::vector<std::string>& to, const std::vector<std::string>& from) {
  to.insert(to.end(), from.begin(), from.end());
}

int Usage() {
  std::cerr << "usage: catalogue_check uses <source-dir> <set1.msg> <set2.msg>\n"
               "       catalogue_check fields <form_variables.cpp> <set1.msg> <expected-rows>\n"
               "       catalogue_check list <source-dir>\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "list") {
    const std::filesystem::path sourceDir = argv[2];
    const auto scan = cfgout::catalogue::ScanSourceTree(sourceDir, std::filesystem::absolute(sourceDir).parent_path());
    for (const auto& w : scan.wrappers) std::cout << "lookup function: " << w << "\n";
    for (const auto& use : scan.uses) {
      std::cout << use.where << ": set " << use.set << " message " << use.number
                << (use.builtinText ? " with built-in text" : "") << "\n";
    }
    return 0;
  }
  if (argc != 5) return Usage();
  const std::string mode = argv[1];

  if (mode == "uses") {
    const std::filesystem::path sourceDir = argv[2];
    Catalogue set1;
    Catalogue set2;
    if (!LoadCatalogue(argv[3], &set1) || !LoadCatalogue(argv[4], &set2)) return 2;
    std::error_code ec;
    if (!std::filesystem::is_directory(sourceDir, ec)) {
      std::cerr << "catalogue_check: " << sourceDir.string() << " is not a directory\n";
      return 2;
    }
    const auto scan = cfgout::catalogue::ScanSourceTree(sourceDir, std::filesystem::absolute(sourceDir).parent_path());
    std::vector<std::string> problems = set1.problems;
    Append(problems, set2.problems);
    Append(problems, cfgout::catalogue::CheckCatalogueRules(set1, set2));
    Append(problems, cfgout::catalogue::CheckUses(set1, set2, scan.uses));
    return Report(problems, "catalogue_check: " + std::to_string(scan.uses.size()) +
                                " message lookups (through " + std::to_string(scan.wrappers.size() + 4) +
                                " lookup functions) in " + std::to_string(scan.filesScanned) +
                                " files; set 1 has " + std::to_string(set1.messages.size()) +
                                " messages, set 2 has " + std::to_string(set2.messages.size()));
  }

  if (mode == "fields") {
    const std::filesystem::path tableFile = argv[2];
    std::error_code ec;
    if (!std::filesystem::exists(tableFile, ec)) {
      std::cout << "catalogue_check: " << tableFile.string() << " does not exist yet; skipped\n";
      return kSkipped;
    }
    Catalogue set1;
    if (!LoadCatalogue(argv[3], &set1)) return 2;
    char* end = nullptr;
    const long expected = std::strtol(argv[4], &end, 10);
    if (end == argv[4] || *end != '\0' || expected < 1) return Usage();
    const auto content = cfgout::catalogue::ReadFile(tableFile);
    if (!content) {
      std::cerr << "catalogue_check: cannot read " << tableFile.string() << "\n";
      return 2;
    }
    const auto rows = cfgout::catalogue::FindFieldRows(cfgout::catalogue::StripComments(*content));
    std::vector<std::string> problems = set1.problems;
    Append(problems, cfgout::catalogue::CheckFieldRows(set1, rows, static_cast<std::size_t>(expected),
                                                       tableFile.filename().string()));
    return Report(problems, "catalogue_check: " + std::to_string(rows.size()) +
                                " form variable rows, every message present in set 1");
  }
  return Usage();
}
