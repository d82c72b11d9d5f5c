#!/usr/bin/env bash
# Norvane's peak private memory, and its window's answer times to messages sent to it (a probe
# sends one after another, 20 ms apart, from the window's appearance to its end), during one whole update, "/explicitupdate" walked through to
# its end as a user does (tests/window/WalkUpdate.cpp: every page accepted, the licence too, the
# product's setup stand-in reporting ten steps, the middle offer installed, the finish button),
# sampled every 10 ms from outside with GetProcessMemoryInfo; and the minimal dialog program
# measured the same way over its whole life (shown for 3 s, then closed), since under Wine part
# of every process's private memory is Wine's own.
#   bench/memory/run.sh [--keys] [--quick]     (--quick changes nothing: one update is quick)
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$(pwd)
keys=0
for arg in "$@"; do
  case "$arg" in
    --keys) keys=1 ;;
    --quick) ;;
    *) echo "usage: $0 [--keys] [--quick]" >&2; exit 2 ;;
  esac
done
tools/build.sh --tests >/dev/null

work=$root/build/bench-memory
session=$work/session
server_pid="" watch_pid=""
cleanup() {
  if [ -n "$watch_pid" ]; then kill "$watch_pid" >/dev/null 2>&1 || true; fi
  if [ -n "$server_pid" ]; then kill "$server_pid" >/dev/null 2>&1 || true; fi
  tests/harness/session.sh stop "$session" >/dev/null 2>&1 || true
}
trap cleanup EXIT
rm -rf "$work"
mkdir -p "$work"
tests/harness/session.sh start "$session" "$(tools/test-arch.sh)" >/dev/null
# shellcheck disable=SC1091
. "$session/env"
# shellcheck source=bench/startup/install.sh
. bench/startup/install.sh
wait_prefix_settled
install_norvane "$work" Benchly

bench=$root/build/test/bench
launcher=$(winpath "$bench/startup_bench.exe")
"$WINE_BIN" "$launcher" watch "$(winpath "$inst")" Norvane.exe 600 >"$work/watch.keys" 2>"$work/watch.log" &
watch_pid=$!
sleep 1  # the watcher is looking before Norvane starts
walk=0
PRODUCT_SETUP_STEPS=10 PRODUCT_SETUP_DELAY=350 PRODUCT_SETUP_RECORD="$(winpath "$work/setup.record")" \
WALK_ANSWERS="$(winpath "$work/answers.keys")" \
OFFER_SETUP_RECORD="$(winpath "$work/offer.record")" OSTREY_ARTIFACT_DIR="$work" \
  "$WINE_BIN" "$(winpath "$root/build/test/tests-bin/update_walk.exe")" \
  "$(winpath "$inst/Norvane.exe")" Benchly walk- >"$work/walk.log" 2>&1 || walk=$?
watch_code=0
wait "$watch_pid" || watch_code=$?
watch_pid=""
if [ "$walk" != 0 ] || [ "$watch_code" != 0 ]; then
  tr -d '\r' <"$work/walk.log" >&2
  tr -d '\r' <"$work/watch.log" >&2
  echo "the update did not run to its end (walk $walk, watcher $watch_code)" >&2
  exit 1
fi

printf '"%s"\n' "$(winpath "$bench/minimal_dialog.exe")" >"$work/dialog.commands"
"$WINE_BIN" "$launcher" memory "$(winpath "$work/dialog.commands")" 3000 >"$work/dialog.keys" 2>"$work/dialog.log" ||
  { tr -d '\r' <"$work/dialog.log" >&2; echo "the minimal dialog could not be measured" >&2; exit 1; }

if ! grep -q '^answer_worst_ms' "$work/answers.keys" 2>/dev/null; then
  echo "the window's answer times were not recorded during the update" >&2
  exit 1
fi
{
  tr -d '\r' <"$work/watch.keys" | sed 's/^/norvane_/'
  tr -d '\r' <"$work/answers.keys" | sed 's/^/norvane_/'
  tr -d '\r' <"$work/dialog.keys" | sed 's/^/dialog_/'
} >"$work/figures"
if [ "$keys" = 1 ]; then cat "$work/figures"; exit 0; fi
echo "one whole update (walk: $(tr -d '\r' <"$work/walk.log" | grep -c '^page') pages), sampled every 10 ms; MB = 2^20 bytes"
awk '{ v[$1] = $2 } END {
  printf "%-40s %14s %14s\n", "", "peak private", "peak working set"
  printf "%-40s %11.1f MB %11.1f MB\n", "Norvane (" v["norvane_processes"] " process(es))", v["norvane_peak_private"] / 1048576, v["norvane_peak_working_set"] / 1048576
  printf "%-40s %11.1f MB %11.1f MB\n", "minimal dialog", v["dialog_peak_private"] / 1048576, v["dialog_peak_working_set"] / 1048576
  printf "%-40s %14s %14s\n", "answer to a sent message", "median", "worst"
  printf "%-40s %11.2f ms %11.2f ms\n", "Norvane (" v["norvane_answer_count"] " messages)", v["norvane_answer_median_ms"], v["norvane_answer_worst_ms"]
  printf "%-40s %11.2f ms %11.2f ms\n", "minimal dialog", v["dialog_answer_median_ms"], v["dialog_answer_worst_ms"]
}' "$work/figures"
