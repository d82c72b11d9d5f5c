#!/usr/bin/env bash
# Checks the shipped files in a bin folder (default build/bin): 32-bit, importing system DLLs
# only (no compiler runtime beside them), and carrying a version resource; the programs also
# carry an application manifest.
set -uo pipefail
bin=${1:-$(dirname "$0")/../build/bin}
objdump=i686-w64-mingw32-objdump
# DLLs every supported Windows has.
allowed='^(kernel32|user32|gdi32|advapi32|shell32|shlwapi|ole32|oleaut32|comctl32|comdlg32|wininet|urlmon|version|msvcrt|ws2_32|msimg32|psapi|uxtheme|riched20|ntdll)\.dll$'
failed=0 passed=0
check() {  # description, command...
  if "${@:2}"; then passed=$((passed + 1)); else echo "FAILED: $1"; failed=$((failed + 1)); fi
}
for file in "$bin"/Norvane.exe "$bin"/Pallix.exe "$bin"/ko-KR.dll; do
  [ -f "$file" ] || { [ "$(basename "$file")" = Pallix.exe ] && continue; echo "FAILED: $file missing"; failed=$((failed + 1)); continue; }
  name=$(basename "$file")
  check "$name is a 32-bit PE" sh -c "$objdump -f '$file' | grep -q 'file format pei-i386'"
  bad=$($objdump -p "$file" | awk '/DLL Name:/ {print tolower($3)}' | grep -v -E "$allowed" || true)
  check "$name imports only system DLLs (not: $bad)" test -z "$bad"
  check "$name has a version resource" sh -c "wrestool -l '$file' | grep -q 'type=version'"
  case "$name" in
    *.exe) check "$name has a manifest" sh -c "wrestool -l '$file' | grep -q 'type=24'" ;;
  esac
done
echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
