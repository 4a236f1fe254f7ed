#pragma once
// The server package table: one row per proxy product, chosen by the CGI
// environment variable PACKAGE_TYPE. Its feature values are handed to the
// pages whose controls differ between products.

#include <array>
#include <cstddef>

namespace cfgout {

struct ServerPackage {
  int cacheAlgorithmSelectable;       // 1 = the garbage collection page offers the algorithm choice
  const char* defaultCacheAlgorithm;  // preselected when the configuration names none
  int ignoreNoCacheSupported;         // 1 = the ProxyIgnoreNoCache control is shown
  int limitActiveThreads;             // 1 = MaxActiveThreads is capped ...
  int maxActiveThreadsLimit;          // ... at this number
  const char* productName;            // label of the row only
  const char* packageId;              // label of the row only
};

inline constexpr std::size_t kServerPackageCount = 5;

extern const std::array<ServerPackage, kServerPackageCount> paramTable;

// The row for a PACKAGE_TYPE value: its decimal value (atoi) is the row
// number. A value outside 0-4 selects row 0, the row of "no server type set",
// so an unknown product gets the most restrictive feature set instead of an
// out-of-range row.
const ServerPackage& SelectServerPackage(const char* packageType);

}  // namespace cfgout
