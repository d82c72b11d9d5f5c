#!/usr/bin/env bash
# ctest's emulator for the Windows test programs: runs one under the session's Wine prefix.
set -euo pipefail
dir=$1; shift
if [ ! -f "$dir/env" ]; then
  echo "no Wine session in $dir (run the harness.start test first)" >&2
  exit 1
fi
# shellcheck disable=SC1091
. "$dir/env"
exec "$WINE_BIN" "$@"
