#pragma once
// Page output captured around a piece of test code.

#include <string>

#include "runtime/page_output.h"

namespace cfgout::testing {

// Runs `write` with page output captured and returns what it wrote.
template <typename F>
std::string Captured(F&& write) {
  PageCapture capture;
  write();
  return capture.Take();
}

}  // namespace cfgout::testing
