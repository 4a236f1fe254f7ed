#pragma once
// The programs the pages start: the password tool of the user pages and the
// server executable of the restart page. Both default to the paths fixed at
// build time (CFGOUT_PASSWORD_TOOL, CFGOUT_SERVER_EXECUTABLE); the test build
// of the program points them at the build's own tools. Neither is ever taken
// from the request or its environment.

#include <string>

namespace cfgout {

void SetPasswordToolPath(std::string path);
const std::string& PasswordToolPath();
void SetServerExecutablePath(std::string path);
const std::string& ServerExecutablePath();

}  // namespace cfgout
