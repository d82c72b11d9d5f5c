#!/usr/bin/env bash
# Builds the native tree when needed and prints the XML reader's throughput figures.
#   bench/xml/run.sh [--quick] [--keys]   (passed on to xml_bench)
set -euo pipefail
cd "$(dirname "$0")/../.."
# The reference library is looked for at every run (-U drops the tree's earlier answer): a tree
# configured before tinyxml2 was installed would otherwise never build the benchmark.
cmake -S native -B build/native -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
      -UTINYXML2_LIB >/dev/null
if ! grep -q '^TINYXML2_LIB:FILEPATH=/' build/native/CMakeCache.txt; then
  echo "tinyxml2 is not installed (tools/setup.sh installs libtinyxml2-dev): nothing to compare with" >&2
  exit 1
fi
cmake --build build/native -j2 --target xml_bench >/dev/null
build/native/xml_bench "$@"
