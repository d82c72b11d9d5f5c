#!/usr/bin/env bash
# Saving the setup-option store: end offers read from an option file and written to
# SetupOption.ini, for 400 and 3,300 offers by default (other counts as arguments). The
# reference is the same ini bytes written with one WriteFile, in the same run.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$(pwd)
tools/build.sh --tests >/dev/null
counts=("$@")
[ ${#counts[@]} -gt 0 ] || counts=(400 3300)
work=$root/build/bench-ini
rm -rf "$work"
mkdir -p "$work"
session=$work/session
tests/harness/session.sh start "$session" "$(tools/test-arch.sh)" >/dev/null
trap 'tests/harness/session.sh stop "$session"' EXIT
# shellcheck disable=SC1091
. "$session/env"

printf "%-8s %8s %12s %10s %10s %10s %14s\n" offers taken "option bytes" "load ms" "save ms" "ini bytes" "one write ms"
"$WINE_BIN" build/test/bench/bench_setup_option_ini.exe "Z:${work//\//\\}" "${counts[@]}" | tr -d '\r' |
  while read -r count taken bytes load save ini reference; do
    printf "%-8s %8s %12s %10s %10s %10s %14s\n" "$count" "$taken" "$bytes" "$load" "$save" "$ini" "$reference"
  done
