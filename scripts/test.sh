#!/usr/bin/env bash
# Runs every test: release build, then AddressSanitizer + UBSan build, then the
# fuzz targets for a short bounded time. Exits non-zero on the first failure.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/install-deps.sh

jobs=$(nproc)

run_suite() {
  local name=$1; shift
  echo "=== $name: configure and build"
  bash scripts/configure.sh "build/$name" "$@"
  cmake --build "build/$name" -j "$jobs"
  echo "=== $name: tests"
  (cd "build/$name" && ctest --output-on-failure -j "$jobs" --timeout 600)
}

run_suite release -DCMAKE_BUILD_TYPE=Release
run_suite asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCFGOUT_SANITIZE=ON -DCFGOUT_BENCH=OFF

if [ -x scripts/fuzz.sh ]; then
  echo "=== fuzz (bounded)"
  bash scripts/fuzz.sh 30
fi
echo "all test suites passed"
