#!/usr/bin/env bash
# Checks the shipped files in a bin folder (default build/bin), which no test run under Wine can
# show: each is present and a 32-bit PE; it imports system DLLs only (no compiler runtime beside
# it), and only functions Windows XP's DLLs export (XP's loader refuses a program that imports
# anything else, while Wine exports everything); it carries a version resource (and the programs
# a manifest); and the programs stay within their size budgets. Prints each file's size.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
bin=${1:-$here/../build/bin}
objdump=i686-w64-mingw32-objdump

# The export lists of XP SP3's 32-bit system DLLs: the shared folder beside the checkout when it
# is there, else the copy kept in tools/.
lists=$here/../../shared/winxp-exports
[ -d "$lists" ] || lists=$here/winxp-exports

# Size budgets in bytes: what a dialog program and a windowless chore program of this kind need.
declare -A budget=([Norvane.exe]=614400 [Pallix.exe]=358400)

failed=0 passed=0
check() {  # description, command...
  if "${@:2}"; then passed=$((passed + 1)); else echo "FAILED: $1"; failed=$((failed + 1)); fi
}

# "dll<TAB>function" for every function the file imports by name, "dll<TAB>#ordinal" for one
# imported by ordinal only (which cannot be checked against a list of names).
imports() {
  $objdump -p "$1" | awk '
    /^The Import Tables/ { inside = 1; next }
    /^The / { inside = 0 }
    !inside { next }
    /DLL Name:/ { dll = tolower($3); next }
    dll != "" && /^\t[0-9a-f]+[ \t]+[0-9]+([ \t]|$)/ {
      if (NF >= 3 && $3 != "<none>") print dll "\t" $3; else print dll "\t#" $2
    }'
}

# The imports XP lacks, one "dll!function" (or "dll (no list)") per line.
missing_on_xp() {
  imports "$1" | sort -u | while IFS=$'\t' read -r dll fn; do
    if [ ! -f "$lists/$dll.txt" ]; then echo "$dll (no export list)"; continue; fi
    case "$fn" in
      \#*) echo "$dll!ordinal ${fn#\#} (not checkable)" ;;
      *) grep -qxF "$fn" "$lists/$dll.txt" || echo "$dll!$fn" ;;
    esac
  done | sort -u
}

for name in Norvane.exe Pallix.exe ko-KR.dll; do
  file=$bin/$name
  if [ ! -f "$file" ]; then
    echo "FAILED: $name is missing from $bin"
    failed=$((failed + 1))
    continue
  fi
  size=$(stat -c %s "$file")
  echo "$name: $size bytes ($(( (size + 1023) / 1024 )) KB)"
  check "$name is a 32-bit PE" sh -c "$objdump -f '$file' | grep -q 'file format pei-i386'"
  bad=$($objdump -p "$file" | awk '/DLL Name:/ {print tolower($3)}' | grep -v -E '^(kernel32|user32|gdi32|advapi32|shell32|shlwapi|ole32|oleaut32|comctl32|comdlg32|wininet|urlmon|version|msvcrt|ws2_32|msimg32|uxtheme|riched20|crypt32|winmm)\.dll$' | tr '\n' ' ')
  check "$name imports only system DLLs (not: $bad)" test -z "$bad"
  if [ "$name" = Norvane.exe ]; then
    # Looked up when first used: mapping them with the program slowed its start-up.
    late=$($objdump -p "$file" | awk '/DLL Name:/ {print tolower($3)}' | grep -E '^(shell32|shlwapi|oleaut32|msimg32)\.dll$' | tr '\n' ' ')
    check "$name leaves shell32, shlwapi, oleaut32 and msimg32 until first used (imports: $late)" test -z "$late"
  fi
  xp=$(missing_on_xp "$file")
  [ -n "$xp" ] && echo "$xp" | sed 's/^/  imported but not exported by Windows XP: /'
  check "$name imports only what Windows XP exports" test -z "$xp"
  check "$name has a version resource" sh -c "wrestool -l '$file' | grep -q 'type=version'"
  case "$name" in
    *.exe)
      check "$name has a manifest" sh -c "wrestool -l '$file' | grep -q 'type=24'"
      check "$name is at most ${budget[$name]} bytes" test "$size" -le "${budget[$name]}"
      ;;
  esac
done
echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
