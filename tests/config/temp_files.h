#pragma once
// File and line-list helpers for the configuration tests; scratch
// directories and whole-file reads and writes come from support/temp_dir.h.

#include <sys/stat.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "config/config.h"
#include "support/temp_dir.h"

namespace cfgout::testing {

inline bool Exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

// The texts of a list, in order.
inline std::vector<std::string> Texts(const LineNode* first) {
  std::vector<std::string> out;
  for (const LineNode* l = first; l != nullptr; l = l->next) out.push_back(l->text);
  return out;
}
inline std::vector<std::string> Texts(const LineList& list) { return Texts(list.first()); }

// Checks that prev links mirror next links; returns the number of nodes.
inline std::size_t CheckLinks(const LineNode* first) {
  std::size_t n = 0;
  const LineNode* previous = nullptr;
  for (const LineNode* l = first; l != nullptr; l = l->next) {
    if (l->prev != previous) throw std::logic_error("broken prev link at node " + std::to_string(n));
    previous = l;
    ++n;
  }
  return n;
}

// The concatenated bytes of every file of the configuration, per file.
inline std::vector<std::string> FileImages(const ConfigHandle& cfg) {
  std::vector<std::string> out;
  for (const ConfigFile& f : cfg) {
    std::string bytes;
    for (const LineNode* l = f.lines.first(); l != nullptr; l = l->next) bytes += l->text;
    out.push_back(bytes);
  }
  return out;
}

// Builds a configuration in memory from file images (no disk involved);
// each image is split at line feeds, keeping them.
inline std::unique_ptr<ConfigHandle> MakeConfig(const std::vector<std::string>& images) {
  auto cfg = std::make_unique<ConfigHandle>();
  int n = 0;
  for (const std::string& image : images) {
    ConfigFile& f = cfg->AddFile("file" + std::to_string(n++));
    std::size_t start = 0;
    while (start < image.size()) {
      std::size_t nl = image.find('\n', start);
      std::size_t end = nl == std::string::npos ? image.size() : nl + 1;
      f.lines.Append(image.substr(start, end - start));
      start = end;
    }
  }
  return cfg;
}

}  // namespace cfgout::testing
