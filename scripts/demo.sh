#!/usr/bin/env bash
# demo.sh [port]: installs what is missing, builds cfgout and its message
# bundles, writes a sample proxy configuration (a main file with comments and
# two included files) into demo-run/, and serves the configuration pages with
# lighttpd on 127.0.0.1:<port> (default 8080) until Ctrl-C.
# Every start writes a fresh sample configuration. The pages are behind basic
# authentication with the administration's password file
# (demo-run/server/protect/webadmin.passwd): the first start creates it with
# the user "admin" and a random password, and prints both; later starts keep
# the password and group files (and print the initial password again).
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

htadm=$root/build/demo/tools/password_tool/htadm
[ -x "$htadm" ] || { echo "build did not produce $htadm" >&2; exit 1; }

run=$root/demo-run
protect=$run/server/protect
# Everything but the password and group files is made afresh.
if [ -d "$run" ]; then
  find "$run" -mindepth 1 -maxdepth 1 ! -name server -exec rm -rf {} +
  [ -d "$run/server" ] && find "$run/server" -mindepth 1 -maxdepth 1 ! -name protect -exec rm -rf {} +
fi
mkdir -p "$run/htdocs" "$run/cgi-bin" "$run/server/icons" "$run/logs"
mkdir -p -m 700 "$protect"
initial=$protect/.initial-admin-password
if [ ! -f "$protect/webadmin.passwd" ]; then
  password=$(head -c 15 /dev/urandom | base64 | tr '+/' '-_')
  "$htadm" Q-create "$protect/webadmin.passwd"
  "$htadm" Q-adduser "$protect/webadmin.passwd" admin "$password" "Demo administrator"
  printf 'admins: admin\n' > "$protect/webadmin.group"
  (umask 077; printf '%s\n' "$password" > "$initial")
fi
ln -s "$binary" "$run/cgi-bin/cfgout"
for name in proxy caching logging; do
  sed -e "s|@RUN@|$run|g" "demo/$name.conf.in" > "$run/$name.conf"
done
cat demo/lighttpd.conf.in demo/lighttpd-auth.conf.in |
  sed -e "s|@RUN@|$run|g" -e "s|@PORT@|$port|g" > "$run/lighttpd.conf"
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
if [ -f "$initial" ]; then
  echo "sign in as: admin   password: $(cat "$initial")   (the first start's password; a change on CHPASSWD replaces it)"
fi
echo "users: $protect/webadmin.passwd (+ webadmin.group); restarts are logged to $run/proxy.conf.restart.log"
echo "configuration: $run/proxy.conf (+ caching.conf, logging.conf)"
echo "press Ctrl-C to stop"
wait "$server"
