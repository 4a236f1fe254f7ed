#include "pages/server_package.h"

#include <cstdlib>

namespace cfgout {

const std::array<ServerPackage, kServerPackageCount> paramTable = {{
    {0, "bandwidth", 0, 1, 40, "No proxy server type is set", "KZO-PROXY-NONE"},
    {0, "responsetime", 0, 0, 0, "KZO Firewall HTTP Proxy", "KZO-PROXY-FW"},
    {0, "responsetime", 0, 1, 100, "KZO ZVRP Cache Manager", "KZO-PROXY-CM"},
    {1, "bandwidth", 1, 0, 0, "KZO Stratavue Brim Server Caching Proxy", "KZO-PROXY-QTX"},
    {1, "bandwidth", 1, 0, 0, "KZO Halberd Proxy (DQTX)", "KZO-PROXY-DQTX"},
}};

const ServerPackage& SelectServerPackage(const char* packageType) {
  // strtol instead of atoi: the same value for every number in range, and
  // no undefined behaviour for one that overflows an int.
  const long row = packageType ? std::strtol(packageType, nullptr, 10) : 0;
  if (row < 0 || row >= static_cast<long>(kServerPackageCount)) return paramTable[0];
  return paramTable[static_cast<std::size_t>(row)];
}

}  // namespace cfgout
