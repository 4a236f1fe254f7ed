#!/usr/bin/env bash
# configure.sh <build-dir> [extra cmake args...]
# Configures a build whose platform paths all point into the build tree, so
# tests and the demo run without touching /opt or /usr/sbin.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$1; shift
mkdir -p "$build"
build=$(cd "$build" && pwd)
cmake -S "$root" -B "$build" -G Ninja \
  -DCFGOUT_MESSAGE_DIR="$build/msg" \
  -DCFGOUT_PASSWORD_TOOL="$build/tools/password_tool/htadm" \
  -DCFGOUT_SERVER_EXECUTABLE="$build/tools/server_standin/kzoproxy" \
  "$@" >/dev/null
