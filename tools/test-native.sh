#!/usr/bin/env bash
# Native (host, clang) checks of the logic that needs no Windows call: builds native/ into
# build/native, runs its unit tests under the sanitizers and every fuzz target for a bounded
# time from its seed corpus. Fails on any test failure or fuzzer finding.
# FUZZ_SECONDS overrides the time per fuzz target (default 20: a short run of each; the long
# runs are made by hand, see docs/native.md).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
out=build/native
seconds=${FUZZ_SECONDS:-20}

cmake -S native -B "$out" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$out" -j2

status=0
ctest --test-dir "$out" --output-on-failure || status=1

for fuzzer in "$out"/*_fuzz; do
  [ -x "$fuzzer" ] || continue
  name=$(basename "$fuzzer")
  seeds="$root/fuzz/corpus/${name%_fuzz}"
  work="$out/fuzz-work/$name"     # grows during the run; the seeds in the tree stay as they are
  artifacts="$out/fuzz-findings/$name/"
  mkdir -p "$work" "$artifacts"
  extra=()
  [ -f "$root/fuzz/${name%_fuzz}.dict" ] && extra+=(-dict="$root/fuzz/${name%_fuzz}.dict")
  [ -d "$seeds" ] && extra+=("$seeds")
  echo "fuzzing $name for ${seconds}s"
  # A single input taking over 10 s counts as a finding (a hang or quadratic blow-up).
  if ! "$fuzzer" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 -artifact_prefix="$artifacts" \
        "$work" "${extra[@]}" >"$out/$name.log" 2>&1; then
    echo "FINDING in $name: see $out/$name.log and $artifacts" >&2
    tail -40 "$out/$name.log" >&2
    status=1
  else
    grep -E 'stat::number_of_executed_units' "$out/$name.log" || true
  fi
done
exit $status
