#!/usr/bin/env bash
# demo.sh [port]: installs what is missing, builds cfgout and its message
# bundles, writes a sample proxy configuration (a main file with comments and
# two included files) into demo-run/, and serves the configuration pages with
# lighttpd on 127.0.0.1:<port> (default 8080) until Ctrl-C.
# Every start writes a fresh sample configuration.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
port=${1:-8080}
case $port in
  ''|*[!0-9]*) echo "usage: $0 [port]" >&2; exit 2 ;;
esac

bash scripts/install-deps.sh
bash scripts/configure.sh build/demo -DCMAKE_BUILD_TYPE=Release -DCFGOUT_TESTS=OFF -DCFGOUT_BENCH=OFF
cmake --build build/demo -j "$(nproc)"
binary=$root/build/demo/src/cgi/cfgout
[ -x "$binary" ] || { echo "build did not produce $binary" >&2; exit 1; }

run=$root/demo-run
rm -rf "$run"
mkdir -p "$run/htdocs" "$run/cgi-bin" "$run/server/icons" "$run/logs"
ln -s "$binary" "$run/cgi-bin/cfgout"
for name in proxy caching logging; do
  sed -e "s|@RUN@|$run|g" "demo/$name.conf.in" > "$run/$name.conf"
done
sed -e "s|@RUN@|$run|g" -e "s|@PORT@|$port|g" demo/lighttpd.conf.in > "$run/lighttpd.conf"
lighttpd -tt -f "$run/lighttpd.conf" >/dev/null

# Without job control a background job ignores SIGINT, so Ctrl-C reaches only
# this script; the trap stops lighttpd and waits for it.
lighttpd -D -f "$run/lighttpd.conf" &
server=$!
stop() {
  trap - INT TERM EXIT
  if kill -0 "$server" 2>/dev/null; then
    kill -TERM "$server" 2>/dev/null || true
    wait "$server" 2>/dev/null || true
  fi
  echo
  echo "demo stopped; the configuration it edited stays in $run"
}
trap stop EXIT
trap 'exit 130' INT TERM

sleep 0.5
if ! kill -0 "$server" 2>/dev/null; then
  echo "lighttpd did not start (is port $port in use?); see $run/lighttpd-error.log" >&2
  exit 1
fi
echo
echo "cfgout demo: http://127.0.0.1:$port/   (redirects to the Basic settings page)"
echo "configuration: $run/proxy.conf (+ caching.conf, logging.conf)"
echo "press Ctrl-C to stop"
wait "$server"
