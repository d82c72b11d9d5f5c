#!/usr/bin/env bash
# Runs every test: the checks of the shipped 32-bit files, the cross-built GoogleTest programs
# under Wine (each in a Wine session of its own, several side by side), then the native tests and
# the bounded fuzz run. Sets up and builds first when needed. Extra arguments go to ctest.
# OSTREY_TEST_JOBS sets how many test programs run at once (default: cores + 1; the programs
# spend most of their time waiting for windows and other processes).
set -uo pipefail
cd "$(dirname "$0")/.."

started=$SECONDS
phase_start=$SECONDS
phase() {  # announces a phase and closes the one before with its time
  local now=$SECONDS
  [ -n "${phase_name:-}" ] && echo "== $phase_name: done in $((now - phase_start)) s"
  phase_name=$1 phase_start=$now
  [ -n "$1" ] && echo "== $1"
}

phase "setting up (packages the project needs)"
tools/setup.sh || exit 1
phase "building the programs and the test tree (first run: several minutes)"
tools/build.sh --tests || exit 1

status=0
phase "checking the shipped files"
tools/check-shipped.sh build/bin || status=1

jobs=${OSTREY_TEST_JOBS:-$(( $(nproc 2>/dev/null || echo 2) + 1 ))}
phase "Windows tests under Wine ($jobs programs at a time)"
log=build/test/ctest-last.log
ctest --test-dir build/test --output-on-failure --no-tests=error -j "$jobs" "$@" 2>&1 | tee "$log"
[ "${PIPESTATUS[0]}" = 0 ] || status=1

if [ -x tools/test-native.sh ]; then
  phase "native tests and fuzzing"
  tools/test-native.sh || status=1
fi
phase ""
echo "== all phases: $((SECONDS - started)) s"

# One closing line for the whole run.
total=$(sed -n 's/.*tests failed out of \([0-9]*\).*/\1/p' "$log" | tail -1)
failed=$(sed -n 's/.* \([0-9]*\) tests failed out of.*/\1/p' "$log" | tail -1)
total=${total:-0} failed=${failed:-0}
if [ "$status" != 0 ] && [ "$failed" = 0 ]; then failed=1; fi
echo "$((total - failed)) passed, $failed failed"
exit $status
