#!/usr/bin/env bash
# fuzz.sh [seconds-per-target]: builds the libFuzzer targets (fuzz/*_fuzz.cpp)
# with clang in build/fuzz and runs each for a bounded time, starting from
# the seed corpus in fuzz/corpus/<target>/. Fails when a target crashes or
# finds an error (its reproducer is left in build/fuzz/artifacts/). The
# targets keep their scratch files on a memory file system (/dev/shm) when
# there is one: they write files on every run, and a disk makes them several
# times slower.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
seconds=${1:-30}
build=build/fuzz

bash scripts/configure.sh "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang \
  -DCFGOUT_FUZZ=ON -DCFGOUT_TESTS=OFF -DCFGOUT_BENCH=OFF

targets=()
for source in fuzz/*_fuzz.cpp; do
  targets+=("$(basename "$source" .cpp)")
done
cmake --build "$build" -j 2 --target "${targets[@]}"

mkdir -p "$build/artifacts"
if [ -d /dev/shm ] && [ -w /dev/shm ]; then
  scratch=$(mktemp -d /dev/shm/cfgout-fuzz-XXXXXX)
else
  mkdir -p "$build/tmp"
  scratch=$(mktemp -d "$root/$build/tmp/cfgout-fuzz-XXXXXX")
fi
trap 'rm -rf "$scratch"' EXIT
for target in "${targets[@]}"; do
  corpus="$build/corpus/$target"
  mkdir -p "$corpus"
  seeds=()
  [ -d "fuzz/corpus/$target" ] && seeds=("fuzz/corpus/$target")
  echo "=== fuzz $target for ${seconds}s"
  if ! TMPDIR="$scratch" "$build/fuzz/$target" -max_total_time="$seconds" -max_len=8192 \
      -timeout=10 -print_final_stats=1 -artifact_prefix="$build/artifacts/$target-" \
      "$corpus" "${seeds[@]}" 2>"$build/$target.log"; then
    tail -n 60 "$build/$target.log"
    echo "fuzz target $target failed; see $build/$target.log and $build/artifacts/" >&2
    exit 1
  fi
  grep -E '^stat::number_of_executed_units|^stat::average_exec_per_sec|^Done' "$build/$target.log" || true
done
echo "fuzz targets passed: ${targets[*]}"
