#!/usr/bin/env bash
# ctest's emulator for the Windows test programs: runs one program in a Wine session of its own,
# a copy of the prefix that the harness.start test booted, with its own server and display, so
# that programs can run side by side and none sees what another left behind. The session ends
# with the program, whatever way it ends.
set -uo pipefail
dir=$1; shift
here=$(cd "$(dirname "$0")" && pwd)
if [ ! -f "$dir/template/prefix/system.reg" ]; then
  echo "no Wine template in $dir (run the harness.start test first)" >&2
  exit 1
fi
arch=$(cat "$dir/template/arch")
name=$(basename "$1" .exe)
run="$dir/runs/$name.$$"
mkdir -p "$dir/runs"
trap '"$here/session.sh" stop "$run" >/dev/null 2>&1; rm -rf "$run/prefix"' EXIT
trap 'exit 143' TERM INT
if ! "$here/session.sh" start "$run" "$arch" "$dir/template/prefix" >"$dir/runs/$name.$$.log" 2>&1; then
  cat "$dir/runs/$name.$$.log" >&2
  exit 1
fi
# shellcheck disable=SC1091
. "$run/env"
"$WINE_BIN" "$@"
