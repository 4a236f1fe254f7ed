#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need.
# Only missing packages are installed; nothing happens when all are present.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libicu-dev icu-devtools libcrypt-dev libgit2-dev zlib1g-dev git
  libmbedtls-dev libhttp-parser-dev libpcre2-dev
  clang libclang-rt-14-dev
  lighttpd chromium nodejs
)
# npm ships inside some nodejs builds; install Debian's only when it is absent.
command -v npm >/dev/null 2>&1 || packages+=(npm)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" </dev/null
fi

# The browser tests drive Debian's Chromium through playwright-core (no browser download).
root=$(cd "$(dirname "$0")/.." && pwd)
if [ -f "$root/tests/e2e/package.json" ] && { [ ! -d "$root/tests/e2e/node_modules/playwright-core" ] || [ ! -d "$root/tests/e2e/node_modules/@axe-core/playwright" ]; }; then
  (cd "$root/tests/e2e" && PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm install --no-audit --no-fund --loglevel=error </dev/null)
fi
