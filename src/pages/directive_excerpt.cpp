#include "pages/directive_excerpt.h"

#include <vector>

#include "config/directive_access.h"

namespace cfgout {

std::unique_ptr<ConfigHandle> DirectiveExcerpt(const ConfigHandle& cfg,
                                               std::initializer_list<std::string_view> keywords) {
  std::vector<int> ids;
  for (std::string_view keyword : keywords) {
    const int id = HTTPDRuleToID(keyword);
    // Identifier 0 would end the list early; no page shows that keyword.
    if (id > 0) ids.push_back(id);
  }
  auto excerpt = std::make_unique<ConfigHandle>();
  ConfigFile& file = excerpt->AddFile(cfg.first() != nullptr ? cfg.first()->path : std::string());
  if (!ids.empty()) file.lines = HTTPDGetMultiRules(cfg, ids);
  return excerpt;
}

}  // namespace cfgout
