#!/usr/bin/env bash
# Download throughput: Norvane's DownloadToFile and DownloadToTempFile (running under wine64)
# against curl on Linux, all fetching the same 64 MiB file from the same loopback server (a
# Windows program's listening socket under Wine is a real host socket) in one run.
# Needs the test tree: tools/build.sh --tests.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$(pwd)
bench=$root/build/test/bench/download_bench.exe
[ -f "$bench" ] || { echo "build the test tree first: tools/build.sh --tests" >&2; exit 1; }
rounds=3

work=$(mktemp -d)
session=$work/session
trap 'tests/harness/session.sh stop "$session" >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
tests/harness/session.sh start "$session" x86_64 >/dev/null

tests/harness/wine-run.sh "$session" "$bench" "Z:${work//\//\\}" &
bench_pid=$!

for _ in $(seq 1 600); do [ -f "$work/bench.txt" ] && break; sleep 0.5; done
[ -f "$work/bench.txt" ] || { echo "the benchmark program gave no figures" >&2; exit 1; }
port=$(tr -d '\r\n' <"$work/port.txt")

best=0
for _ in $(seq 1 $rounds); do
  # bytes per second of this round
  speed=$(curl -s -o /dev/null -w '%{speed_download}' "http://127.0.0.1:$port/big.bin")
  best=$(awk -v a="$best" -v b="$speed" 'BEGIN { print (b > a) ? b : a }')
done
touch "$work/curl.done"
wait "$bench_pid" || true

curl_mbs=$(awk -v b="$best" 'BEGIN { printf "%.1f", b / 1e6 }')
echo "64 MiB from a loopback server, best of $rounds rounds (MB = 10^6 bytes)"
printf '%-22s %10s %12s\n' "downloader" "MB/s" "vs curl"
while read -r name mbs; do
  printf '%-22s %10s %11sx\n' "$name" "$mbs" "$(awk -v a="$mbs" -v b="$curl_mbs" 'BEGIN { printf "%.2f", (b > 0) ? a / b : 0 }')"
done <"$work/bench.txt"
printf '%-22s %10s %11sx\n' "curl (Linux)" "$curl_mbs" "1.00"
