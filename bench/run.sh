#!/usr/bin/env bash
# run.sh: builds the benchmarks (Release, build/bench) and prints their
# ratios, one section per benchmark. Add a section: write a function
# section_<name> and append <name> to `sections`.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
build=${CFGOUT_BENCH_BUILD:-build/bench}

bash scripts/configure.sh "$build" -DCMAKE_BUILD_TYPE=Release -DCFGOUT_TESTS=OFF -DCFGOUT_BENCH=ON

section_config() {
  cmake --build "$build" -j 2 --target config_bench >"$build/config_bench.build.log" ||
    { cat "$build/config_bench.build.log"; return 1; }
  "$build/bench/config_bench"
}

section_cgi() {
  cmake --build "$build" -j 2 --target cgi_bench >"$build/cgi_bench.build.log" ||
    { cat "$build/cgi_bench.build.log"; return 1; }
  "$build/bench/cgi_bench"
}

sections=(config cgi)

for s in "${sections[@]}"; do
  echo "=== $s"
  "section_$s"
done
