#!/usr/bin/env bash
# Download throughput: Norvane's DownloadToFile and DownloadToTempFile and the system's URL
# moniker download (running under Wine) against curl on Linux, all fetching the same 64 MiB file
# from the same loopback server (a Windows program's listening socket under Wine is a real host
# socket). The rounds are interleaved, each downloader once per round with curl right after, and
# every ratio pairs figures of the same round, so a machine that others load slows both sides of
# a ratio alike. curl is measured twice: discarding the body, and writing it to a file as the
# other downloaders do.
#   bench/download/run.sh [--quick] [--keys] [rounds]
#     rounds: default 5, --quick 2; --keys prints "key value" lines only (for bench/run.sh):
#     <downloader>_mbs and <downloader>_vs_curl_file (median, _low, _high of the round ratios).
#     Needs the test tree: tools/build.sh --tests.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$(pwd)
bench=$root/build/test/bench/download_bench.exe
[ -f "$bench" ] || { echo "build the test tree first: tools/build.sh --tests" >&2; exit 1; }
rounds=5 keys=0
for arg in "$@"; do
  case "$arg" in
    --quick) rounds=2 ;;
    --keys) keys=1 ;;
    [0-9]*) rounds=$arg ;;
    *) echo "usage: $0 [--quick] [--keys] [rounds]" >&2; exit 2 ;;
  esac
done

work=$(mktemp -d)
session=$work/session
bench_pid=""
cleanup() {
  if [ -n "$bench_pid" ]; then kill "$bench_pid" >/dev/null 2>&1 || true; fi
  tests/harness/session.sh stop "$session" >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
tests/harness/session.sh start "$session" "$(tools/test-arch.sh)" >/dev/null

# The program runs in the session just started (wine-run.sh wants the test tree's template).
(
  # shellcheck disable=SC1091
  . "$session/env"
  exec "$WINE_BIN" "$bench" "Z:${work//\//\\}" "$rounds" >/dev/null
) &
bench_pid=$!

wait_for() {  # file: up to 5 minutes, while the benchmark program runs
  for _ in $(seq 1 3000); do
    [ -f "$1" ] && return 0
    kill -0 "$bench_pid" 2>/dev/null || break
    sleep 0.1
  done
  [ -f "$1" ] || { echo "the benchmark program stopped before $(basename "$1")" >&2; exit 1; }
}

wait_for "$work/port.txt"
port=$(tr -d '\r\n' <"$work/port.txt")
url="http://127.0.0.1:$port/big.bin"
for round in $(seq 1 "$rounds"); do
  wait_for "$work/round$round.done"
  # bytes per second of each fetch
  speed=$(curl -s -o /dev/null -w '%{speed_download}' "$url")
  echo "$round curl $(awk -v b="$speed" 'BEGIN { printf "%.1f", b / 1e6 }')" >>"$work/figures.txt"
  speed=$(curl -s -o "$work/curl.bin" -w '%{speed_download}' "$url")
  rm -f "$work/curl.bin"
  echo "$round curl-file $(awk -v b="$speed" 'BEGIN { printf "%.1f", b / 1e6 }')" >>"$work/figures.txt"
  touch "$work/curl$round.done"
done
wait "$bench_pid" || { bench_pid=""; echo "a download in the benchmark failed" >&2; exit 1; }
bench_pid=""

if [ "$keys" = 0 ]; then
  echo "64 MiB from a loopback server, $rounds interleaved rounds (MB = 10^6 bytes); medians over"
  echo "the rounds, and in brackets the lowest and highest round"
fi
tr -d '\r' <"$work/figures.txt" | awk -v rounds="$rounds" -v keys="$keys" '
  function median(list, n,   sorted, i, j, t) {
    for (i = 1; i <= n; i++) sorted[i] = list[i];
    for (i = 2; i <= n; i++)
      for (j = i; j > 1 && sorted[j - 1] > sorted[j]; j--) { t = sorted[j]; sorted[j] = sorted[j - 1]; sorted[j - 1] = t; }
    return (n % 2) ? sorted[(n + 1) / 2] : (sorted[n / 2] + sorted[n / 2 + 1]) / 2;
  }
  function spread(name, reference,   list, i, lo, hi, r) {
    lo = 1e99; hi = 0
    for (i = 1; i <= rounds; i++) {
      r = (mbs[reference, i] > 0) ? mbs[name, i] / mbs[reference, i] : 0
      list[i] = r; if (r < lo) lo = r; if (r > hi) hi = r
    }
    return sprintf("%5.2fx (%.2f-%.2f)", median(list, rounds), lo, hi)
  }
  function ratios(name, reference,   list, i, lo, hi, r) {
    lo = 1e99; hi = 0
    for (i = 1; i <= rounds; i++) {
      r = (mbs[reference, i] > 0) ? mbs[name, i] / mbs[reference, i] : 0
      list[i] = r; if (r < lo) lo = r; if (r > hi) hi = r
    }
    printf "%s_vs_%s %.3f\n%s_vs_%s_low %.3f\n%s_vs_%s_high %.3f\n", name, reference, median(list, rounds),
           name, reference, lo, name, reference, hi
  }
  { mbs[$2, $1] = $3; if (!($2 in seen)) { seen[$2] = 1; order[++names] = $2 } }
  END {
    if (keys) {
      for (k = 1; k <= names; k++) {
        name = order[k]
        for (i = 1; i <= rounds; i++) list[i] = mbs[name, i]
        printf "%s_mbs %.1f\n", name, median(list, rounds)
        ratios(name, "curl-file")
      }
      exit
    }
    printf "%-20s %22s %22s %22s\n", "downloader", "MB/s", "vs curl", "vs curl to a file"
    for (k = 1; k <= names; k++) {
      name = order[k]; lo = 1e99; hi = 0
      for (i = 1; i <= rounds; i++) {
        list[i] = mbs[name, i]; if (list[i] < lo) lo = list[i]; if (list[i] > hi) hi = list[i]
      }
      printf "%-20s %22s %22s %22s\n", name, sprintf("%7.1f (%.0f-%.0f)", median(list, rounds), lo, hi),
             spread(name, "curl"), spread(name, "curl-file")
    }
  }'
