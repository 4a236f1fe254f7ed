#pragma once
// A display handler's excerpt of the configuration.
//
// Every generator looks its directive up by walking all lines of all files,
// so a page with twenty controls walks a large configuration twenty times.
// A display handler instead takes, in one walk, copies of the lines of the
// directives it shows, and hands the generators that excerpt: the same lines
// in the same order, so every "first", "last" and "any" occurrence is the
// one the whole configuration has.
//
//   std::unique_ptr<ConfigHandle> shown = DirectiveExcerpt(cfg, {"HostName", "Port"});
//   GenTextField(line, "HostName", 2, 0, "", *shown);

#include <initializer_list>
#include <memory>
#include <string_view>

#include "config/config_file.h"

namespace cfgout {

// A one-file configuration holding copies of every instance of the named
// directives, in configuration order (main file first). Read-only use only:
// it is never written.
std::unique_ptr<ConfigHandle> DirectiveExcerpt(const ConfigHandle& cfg,
                                               std::initializer_list<std::string_view> keywords);

}  // namespace cfgout
