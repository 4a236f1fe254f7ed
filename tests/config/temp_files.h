#pragma once
// The configuration tests' shared helpers: line-list views, configurations in memory.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "config/config.h"
#include "runtime/file_bytes.h"
#include "support/temp_dir.h"

namespace cfgout::testing {

using Lines = std::vector<std::string>;
using ::testing::ElementsAre;

// The texts of a list, in order; throws when a prev link does not mirror its next link.
inline Lines Texts(const LineNode* first) {
  Lines out;
  for (const LineNode* l = first; l != nullptr; l = l->next) {
    if (l->next != nullptr && l->next->prev != l) throw std::logic_error("broken prev link after " + std::string(l->text));
    out.emplace_back(l->text);
  }
  if (first != nullptr && first->prev != nullptr) throw std::logic_error("first node has a predecessor");
  return out;
}
inline Lines Texts(const LineList& list) { return Texts(list.first()); }

// The bytes of every file of the configuration, per file (links checked).
inline Lines FileImages(const ConfigHandle& cfg) {
  Lines out;
  for (const ConfigFile& f : cfg) {
    out.emplace_back();
    for (const std::string& text : Texts(f.lines)) out.back() += text;
  }
  return out;
}

// A configuration in memory, one file per image.
inline std::unique_ptr<ConfigHandle> MakeConfig(const Lines& images) {
  auto cfg = std::make_unique<ConfigHandle>();
  for (const std::string& image : images) {
    ConfigFile& f = cfg->AddFile("file" + std::to_string(cfg->file_count()));
    for (std::string_view line : SplitLinesKeepingEnds(image)) f.lines.Append(std::string(line));
  }
  return cfg;
}

}  // namespace cfgout::testing
