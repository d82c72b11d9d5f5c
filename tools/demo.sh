#!/usr/bin/env bash
# The main job, end to end under Wine against the bundled stand-ins: the vendor's web server
# (a loopback server that records every request) and a fresh Wine prefix and display.
# What it shows grows with the program; today: Norvane's start-up decisions and a "/sendlog"
# report. Screenshots go to build/demo/.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

tools/setup.sh >/dev/null
tools/build.sh --tests >/dev/null

demo=$root/build/demo
session=$demo/session
mkdir -p "$demo"
rm -f "$demo"/*.png "$demo"/server.log
tests/harness/session.sh start "$session" "$(tools/test-arch.sh)" >/dev/null
trap 'tests/harness/session.sh stop "$session"' EXIT
# shellcheck disable=SC1091
. "$session/env"

winpath() { echo "Z:${1//\//\\}"; }
bin=build/test/bin
norvane=$(winpath "$root/$bin/Norvane.exe")

say() { printf '\n== %s\n' "$*"; }
run_norvane() {  # prints and returns Norvane's exit code
  local code=0
  "$WINE_BIN" "$norvane" "$@" >/dev/null 2>&1 || code=$?
  echo "$code"
}

say "Starting the vendor's server stand-in"
mkdir -p "$demo/www"
"$WINE_BIN" "$(winpath "$root/build/test/doubles/vendor_server.exe")" "$(winpath "$demo/www")" \
  "$(winpath "$demo/server.log")" "$(winpath "$demo/port")" 300 >/dev/null 2>&1 &
server_pid=$!
for _ in $(seq 1 100); do [ -s "$demo/port" ] && break; sleep 0.1; done
port=$(tr -d '\r\n' <"$demo/port")
echo "listening on 127.0.0.1:$port"

say "A low-integrity copy reports a start-page result: /sendlog"
url="http://127.0.0.1:$port/InstallerPattern.aspx?url=7&no=2&pd=dv_Fennick&cr=0&sr=0&cv=1.0&ov=9.2.6.1&ch=demo"
echo "exit code $(run_norvane /sendlog "$url") (1 = sent)"
sleep 0.5
echo "the server saw:"; sed 's/^/    /' "$demo/server.log"

say "The same report to a server that is down"
echo "exit code $(run_norvane /sendlog "http://127.0.0.1:1/InstallerPattern.aspx?x=1") (2 = failed)"

say "Start-up decisions"
echo "only a switch, no product:      exit $(run_norvane /explicitupdate), no window"
echo "a switch Norvane does not know: exit $(run_norvane /installnow Fennick), no window"

say "The update window for Fennick (/EXPLICITUPDATE, the switch in any case)"
"$WINE_BIN" "$norvane" /EXPLICITUPDATE Fennick >/dev/null 2>&1 &
first=$!
sleep 4
import -window root "$demo/update-window.png" && echo "screenshot: build/demo/update-window.png"

say "A second Norvane for Fennick while the window is open"
start=$(date +%s.%N)
code=$(run_norvane /updatenotice Fennick)
end=$(date +%s.%N)
printf 'exit %s after %.1f s: it waited for the product mutex and gave up\n' "$code" "$(echo "$end - $start" | bc)"

say "A background preparation for Fennick at the same time"
start=$(date +%s.%N)
code=$(run_norvane /bgprepare Fennick)
end=$(date +%s.%N)
printf 'exit %s after %.1f s: it has a mutex of its own\n' "$code" "$(echo "$end - $start" | bc)"

say "Without its language module Norvane ends silently"
tmp=$demo/no-module; rm -rf "$tmp"; mkdir -p "$tmp"; cp "$bin/Norvane.exe" "$tmp/"
code=0; "$WINE_BIN" "$(winpath "$tmp/Norvane.exe")" /explicitupdate Fennick >/dev/null 2>&1 || code=$?
echo "exit $code, no window"

kill "$first" "$server_pid" >/dev/null 2>&1 || true
say "Done"
