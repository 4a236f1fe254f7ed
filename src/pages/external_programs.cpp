#include "pages/external_programs.h"

#include <utility>

namespace cfgout {

namespace {

std::string& ToolPath() {
  static std::string path = CFGOUT_PASSWORD_TOOL_PATH;
  return path;
}

std::string& ServerPath() {
  static std::string path = CFGOUT_SERVER_EXECUTABLE_PATH;
  return path;
}

}  // namespace

void SetPasswordToolPath(std::string path) { ToolPath() = std::move(path); }
const std::string& PasswordToolPath() { return ToolPath(); }
void SetServerExecutablePath(std::string path) { ServerPath() = std::move(path); }
const std::string& ServerExecutablePath() { return ServerPath(); }

}  // namespace cfgout
