#!/usr/bin/env bash
# Builds the shipped 32-bit programs into build/bin and, with --tests, the test tree.
#
# The tests run the real programs under Wine. Where this machine's kernel cannot run 32-bit
# code (some virtual machines lack the 32-bit compatibility mode), the test tree is a 64-bit
# build of the same sources; the shipped files in build/bin are always 32-bit.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

with_tests=0 demo_only=0
for arg in "$@"; do
  case "$arg" in
    --tests) with_tests=1 ;;
    --demo) with_tests=1 demo_only=1 ;;  # only what tools/demo.sh runs
    *) echo "usage: $0 [--tests | --demo]" >&2; exit 2 ;;
  esac
done

if ! command -v i686-w64-mingw32-g++ >/dev/null || ! command -v wine >/dev/null ||
   ! command -v ninja >/dev/null; then
  tools/setup.sh
fi

jobs=$(nproc 2>/dev/null || echo 2)

configure() {  # dir toolchain tests thread-model
  local settings="$2 tests=$3 threads=$4 MinSizeRel Ninja"
  # A tree configured with other settings (an older checkout) starts afresh; the test tree
  # inside build/ is left alone when the shipped tree is reconfigured.
  if [ -f "$1/CMakeCache.txt" ] && [ "$(cat "$1/.ostrey-settings" 2>/dev/null)" != "$settings" ]; then
    rm -rf "$1/CMakeCache.txt" "$1/CMakeFiles"
  fi
  if [ ! -f "$1/CMakeCache.txt" ]; then
    cmake -G Ninja -S "$root" -B "$1" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-$2.cmake" \
          -DCMAKE_BUILD_TYPE=MinSizeRel -DOSTREY_BUILD_TESTS="$3" -DOSTREY_THREAD_MODEL="$4" >/dev/null
    echo "$settings" >"$1/.ostrey-settings"
  fi
}

# The shipped files: win32 thread model (nothing Windows XP lacks), built for size.
configure build i686 OFF win32

if [ "$with_tests" = 0 ]; then
  cmake --build build -j "$jobs"
  exit 0
fi

arch=$(tools/test-arch.sh)
# The test tree may use std::thread in test code.
configure build/test "$arch" ON posix
targets=()
if [ "$demo_only" = 1 ]; then
  targets=(--target Norvane Pallix ko-KR update_walk vendor_server agent_double recorded_program
           product_setup offer_setup)
fi
# Both trees at once: the end of each (a last unit or link running alone) leaves a core idle that
# the other fills. The shipped tree's output goes to a log, shown when it fails.
shipped_log=build/.build-shipped.log
cmake --build build -j "$jobs" >"$shipped_log" 2>&1 &
shipped=$!
trap 'kill "$shipped" 2>/dev/null || true' EXIT
status=0
cmake --build build/test -j "$jobs" "${targets[@]}" || status=$?
if ! wait "$shipped"; then
  cat "$shipped_log" >&2
  echo "build: the shipped tree failed" >&2
  status=1
fi
trap - EXIT
exit "$status"
