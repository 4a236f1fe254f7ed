#!/usr/bin/env bash
# Builds cfgout and its message bundles and prints where they are.
# (The web-served demo arrives with the CGI front end.)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/install-deps.sh
bash scripts/configure.sh build/demo -DCMAKE_BUILD_TYPE=Release -DCFGOUT_TESTS=OFF -DCFGOUT_BENCH=OFF
cmake --build build/demo -j "$(nproc)"
echo "libraries: $root/build/demo/src"
echo "message bundles: $root/build/demo/msg"
ls "$root/build/demo/msg" 2>/dev/null || true
