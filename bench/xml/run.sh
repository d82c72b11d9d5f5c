#!/usr/bin/env bash
# Builds the native tree when needed and prints the XML reader's throughput figures.
#   bench/xml/run.sh [--quick] [--keys]   (passed on to xml_bench)
set -euo pipefail
cd "$(dirname "$0")/../.."
cmake -S native -B build/native -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build build/native -j2 --target xml_bench >/dev/null
build/native/xml_bench "$@"
