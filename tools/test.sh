#!/usr/bin/env bash
# Runs every test: the checks of the shipped 32-bit files, the cross-built GoogleTest programs
# under Wine (in a Wine prefix and an Xvfb display made for this run), then the native tests
# and the bounded fuzz run. Sets up and builds first when needed. Extra arguments go to ctest.
set -uo pipefail
cd "$(dirname "$0")/.."

tools/setup.sh || exit 1
tools/build.sh --tests || exit 1

status=0
echo "== shipped files"
tools/check-shipped.sh build/bin || status=1

echo "== Windows tests under Wine"
log=build/test/ctest-last.log
ctest --test-dir build/test --output-on-failure --no-tests=error "$@" 2>&1 | tee "$log"
[ "${PIPESTATUS[0]}" = 0 ] || status=1

if [ -x tools/test-native.sh ]; then
  echo "== native tests and fuzzing"
  tools/test-native.sh || status=1
fi

# One closing line for the whole run.
total=$(sed -n 's/.*tests failed out of \([0-9]*\).*/\1/p' "$log" | tail -1)
failed=$(sed -n 's/.* \([0-9]*\) tests failed out of.*/\1/p' "$log" | tail -1)
total=${total:-0} failed=${failed:-0}
if [ "$status" != 0 ] && [ "$failed" = 0 ]; then failed=1; fi
echo "$((total - failed)) passed, $failed failed"
exit $status
