#pragma once
// Case-insensitive lookup in a constant table whose rows are sorted by an
// upper-case `name` (a C string) in byte order, as strcmp orders them.

#include <span>
#include <string>
#include <string_view>

#include "runtime/ascii.h"

namespace cfgout {

// The index of the row whose name equals `name` upper-cased (ASCII), or -1.
// The comparison runs over the whole of `name` as unsigned bytes, so a name
// holding a NUL byte matches no row instead of matching its prefix.
template <class Row>
int FindRowByUpperCaseName(std::span<const Row> rows, std::string_view name) {
  const std::string upper = UpperCaseCopy(name);
  const std::string_view key(upper);
  int low = 0;
  int high = static_cast<int>(rows.size()) - 1;
  while (low <= high) {
    const int middle = low + (high - low) / 2;
    const int order = key.compare(rows[static_cast<std::size_t>(middle)].name);
    if (order == 0) return middle;
    if (order > 0) {
      low = middle + 1;
    } else {
      high = middle - 1;
    }
  }
  return -1;
}

}  // namespace cfgout
