// cfgctl: the command line over the proxy configuration (see cli/cfgctl.h).
#include <cstdio>
#include <string>
#include <vector>

#include "cli/cfgctl.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string out;
  std::string err;
  const int status = cfgout::cli::RunCfgctl(args, stdin, out, err);
  std::fwrite(out.data(), 1, out.size(), stdout);
  if (std::fflush(stdout) != 0 && status == 0) {
    std::fputs("cfgctl: cannot write standard output\n", stderr);
    return cfgout::cli::kExitFile;
  }
  std::fwrite(err.data(), 1, err.size(), stderr);
  return status;
}
