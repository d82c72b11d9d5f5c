#!/usr/bin/env bash
# Start-up, measured from outside with CreateProcess under Wine, round by round against a
# reference started the same way in the same round:
#   Norvane "/explicitupdate <product>" until its first page (the loading page) is on the screen,
#     against a minimal dialog program until its dialog is;
#   Pallix "-uninstall" with no toolbar component running, until it ends, against a program that
#     does nothing, and (for information) against one that does nothing but import user32.
#   bench/startup/run.sh [--rounds N] [--quick] [--keys]
# --quick: 3 rounds instead of 15; --keys: only "key value" lines, for bench/run.sh.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$(pwd)
rounds=15 keys=0
while [ $# -gt 0 ]; do
  case "$1" in
    --rounds) rounds=$2; shift ;;
    --quick) rounds=3 ;;
    --keys) keys=1 ;;
    *) echo "usage: $0 [--rounds N] [--quick] [--keys]" >&2; exit 2 ;;
  esac
  shift
done
tools/build.sh --tests >/dev/null

work=$root/build/bench-startup
session=$work/session
server_pid=""
cleanup() {
  if [ -n "$server_pid" ]; then kill "$server_pid" >/dev/null 2>&1 || true; fi
  tests/harness/session.sh stop "$session" >/dev/null 2>&1 || true
}
trap cleanup EXIT
rm -rf "$work"
mkdir -p "$work"
tests/harness/session.sh start "$session" "$(tools/test-arch.sh)" >/dev/null
# shellcheck disable=SC1091
. "$session/env"
# shellcheck source=bench/startup/install.sh
. bench/startup/install.sh
wait_prefix_settled
install_norvane "$work" Benchly

bench=$root/build/test/bench
launcher=$(winpath "$bench/startup_bench.exe")
printf '"%s" /explicitupdate Benchly\n"%s"\n' "$(winpath "$inst/Norvane.exe")" \
  "$(winpath "$bench/minimal_dialog.exe")" >"$work/norvane.commands"
printf '"%s" -uninstall\n"%s"\n' "$(winpath "$root/build/test/bin/Pallix.exe")" \
  "$(winpath "$bench/noop.exe")" >"$work/pallix.commands"
printf '"%s" -uninstall\n"%s"\n' "$(winpath "$root/build/test/bin/Pallix.exe")" \
  "$(winpath "$bench/noop_user32.exe")" >"$work/pallix_user32.commands"

measure() {  # name until commands [folder]: "name_key value" lines into $work/figures
  "$WINE_BIN" "$launcher" time "$rounds" "$2" "$(winpath "$3")" ${4:+"$(winpath "$4")"} \
    2>"$work/$1.rounds" | tr -d '\r' | sed "s/^/$1_/" >>"$work/figures" ||
    { cat "$work/$1.rounds" >&2; echo "the $1 start-up could not be measured" >&2; exit 1; }
}
: >"$work/figures"
measure norvane page "$work/norvane.commands" "$inst"
measure pallix exit "$work/pallix.commands"
measure pallix_user32 exit "$work/pallix_user32.commands"

if [ "$keys" = 1 ]; then cat "$work/figures"; exit 0; fi
for name in norvane pallix pallix_user32; do echo "$name:"; tr -d '\r' <"$work/$name.rounds" | sed 's/^/  /'; done
awk -v rounds="$rounds" '
  { v[$1] = $2 }
  function row(label, p, ref) {
    printf "%-44s %8.1f (%.0f-%.0f) %8.1f (%.0f-%.0f) %6.2f (%.2f-%.2f)\n", label,
      v[p "_subject_ms"], v[p "_subject_ms_low"], v[p "_subject_ms_high"],
      v[p "_reference_ms"], v[p "_reference_ms_low"], v[p "_reference_ms_high"],
      v[p "_ratio"], v[p "_ratio_low"], v[p "_ratio_high"]
  }
  END {
    print rounds " interleaved rounds after one warm-up; medians, in brackets lowest and highest"
    printf "%-44s %20s %20s %18s\n", "", "ms", "reference ms", "ratio"
    row("Norvane /explicitupdate to the loading page", "norvane")
    print "  (reference: the minimal dialog until its dialog is shown)"
    row("Pallix -uninstall to its end", "pallix")
    print "  (reference: a program that returns at once)"
    row("Pallix -uninstall to its end", "pallix_user32")
    print "  (reference: a program that imports user32 and returns at once)"
  }' "$work/figures"
