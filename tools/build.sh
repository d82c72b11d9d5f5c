#!/usr/bin/env bash
# Builds the shipped 32-bit programs into build/bin and, with --tests, the test tree.
#
# The tests run the real programs under Wine. Where this machine's kernel cannot run 32-bit
# code (some virtual machines lack the 32-bit compatibility mode), the test tree is a 64-bit
# build of the same sources; the shipped files in build/bin are always 32-bit.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

with_tests=0
for arg in "$@"; do
  case "$arg" in
    --tests) with_tests=1 ;;
    *) echo "usage: $0 [--tests]" >&2; exit 2 ;;
  esac
done

if ! command -v i686-w64-mingw32-g++ >/dev/null || ! command -v wine >/dev/null; then
  tools/setup.sh
fi

jobs=$(nproc 2>/dev/null || echo 2)

configure() {  # dir toolchain tests
  if [ ! -f "$1/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$1" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-$2.cmake" \
          -DCMAKE_BUILD_TYPE=Release -DOSTREY_BUILD_TESTS="$3" >/dev/null
  fi
}

configure build i686 OFF
cmake --build build -j "$jobs"

if [ "$with_tests" = 1 ]; then
  arch=$(tools/test-arch.sh)
  configure build/test "$arch" ON
  cmake --build build/test -j "$jobs"
fi
