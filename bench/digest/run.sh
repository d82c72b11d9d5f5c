#!/usr/bin/env bash
# The setup-file digest against md5sum on the same file (256 MiB), both reading from the page
# cache, in interleaved rounds: each round times md5sum and then FileMd5Hex, and the ratio pairs
# the figures of one round, so that load from elsewhere slows both sides alike.
#   bench/digest/run.sh [--quick] [--keys] [--rounds N] [size in MiB]
#     --quick: 64 MiB and 3 rounds (default 5); --keys: only "key value" lines (digest_mbs,
#     md5sum_mbs, digest_vs_md5sum and its _low and _high over the rounds), for bench/run.sh.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$(pwd)
size_mb=256 rounds=5 keys=0
while [ $# -gt 0 ]; do
  case "$1" in
    --quick) size_mb=64 rounds=3 ;;
    --keys) keys=1 ;;
    --rounds) rounds=$2; shift ;;
    [0-9]*) size_mb=$1 ;;
    *) echo "usage: $0 [--quick] [--keys] [--rounds N] [size in MiB]" >&2; exit 2 ;;
  esac
  shift
done
tools/build.sh --tests >/dev/null
work=$root/build/bench-digest
mkdir -p "$work"
file=$work/setup.bin
if [ ! -f "$file" ] || [ "$(stat -c %s "$file")" != $((size_mb * 1048576)) ]; then
  head -c $((size_mb * 1048576)) /dev/urandom >"$file"
fi
session=$work/session
tests/harness/session.sh start "$session" "$(tools/test-arch.sh)" >/dev/null
trap 'tests/harness/session.sh stop "$session"' EXIT
# shellcheck disable=SC1091
. "$session/env"

cat "$file" >/dev/null  # both read from the page cache
: >"$work/rounds"
for round in $(seq 1 "$rounds"); do
  start=$(date +%s%N); ref=$(md5sum "$file" | cut -d' ' -f1); end=$(date +%s%N)
  read -r ours ours_ms < <("$WINE_BIN" build/test/bench/bench_digest.exe "Z:${file//\//\\}" 1 | tr -d '\r')
  [ "$ours" = "$ref" ] || { echo "digests differ: $ours vs $ref" >&2; exit 1; }
  echo "$round $ours_ms $(( (end - start) / 1000 ))" >>"$work/rounds"  # ms, µs
done
awk -v mb="$size_mb" -v keys="$keys" '
  function median(list, n,   sorted, i, j, t) {
    for (i = 1; i <= n; i++) sorted[i] = list[i];
    for (i = 2; i <= n; i++)
      for (j = i; j > 1 && sorted[j - 1] > sorted[j]; j--) { t = sorted[j]; sorted[j] = sorted[j - 1]; sorted[j - 1] = t; }
    return (n % 2) ? sorted[(n + 1) / 2] : (sorted[n / 2] + sorted[n / 2 + 1]) / 2;
  }
  {
    n++; ours[n] = mb / ($2 / 1000); theirs[n] = mb / ($3 / 1e6); ratio[n] = ours[n] / theirs[n]
    if (n == 1 || ratio[n] < lo) lo = ratio[n]; if (n == 1 || ratio[n] > hi) hi = ratio[n]
  }
  END {
    if (keys) {
      printf "digest_mbs %.1f\nmd5sum_mbs %.1f\ndigest_vs_md5sum %.3f\ndigest_vs_md5sum_low %.3f\ndigest_vs_md5sum_high %.3f\n",
             median(ours, n), median(theirs, n), median(ratio, n), lo, hi
      exit
    }
    printf "digest of %d MiB, %d interleaved rounds: medians (MB = 2^20 bytes), in brackets the range\n", mb, n
    printf "%-28s %10s %22s\n", "", "MB/s", "vs md5sum"
    printf "%-28s %10.1f %9.2f (%.2f-%.2f)\n", "FileMd5Hex (CryptoAPI)", median(ours, n), median(ratio, n), lo, hi
    printf "%-28s %10.1f %22.2f\n", "md5sum", median(theirs, n), 1.0
  }' "$work/rounds"
