#!/usr/bin/env bash
# Runs every test: the cross-built GoogleTest programs under Wine (in a Wine prefix and an Xvfb
# display made for this run), then the native tests. Sets up and builds first when needed.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/setup.sh
tools/build.sh --tests

status=0
ctest --test-dir build/test --output-on-failure "$@" || status=$?
if [ -x tools/test-native.sh ]; then
  tools/test-native.sh || status=$?
fi
exit $status
