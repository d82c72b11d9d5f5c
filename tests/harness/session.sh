#!/usr/bin/env bash
# The Wine session of one test run: a fresh Wine prefix and an Xvfb display made for this run
# only (never the user's own ~/.wine), started before the first test and stopped after the last.
#   session.sh start DIR ARCH [DPI]
#                               creates DIR/prefix, starts Xvfb and a persistent wineserver,
#                               writes DIR/env for wine-run.sh; with DPI (96, 120, 144) the
#                               prefix's screen has that many logical pixels per inch
#   session.sh stop DIR         stops the wineserver and Xvfb
set -euo pipefail
cmd=$1 dir=$2

stop() {
  if [ -f "$dir/env" ]; then
    # shellcheck disable=SC1091
    . "$dir/env"
    WINEPREFIX="$WINEPREFIX" wineserver -k >/dev/null 2>&1 || true
    if [ -n "${XVFB_PID:-}" ]; then kill "$XVFB_PID" >/dev/null 2>&1 || true; fi
    rm -f "$dir/env"
  fi
}

if [ "$cmd" = stop ]; then stop; exit 0; fi

arch=${3:-x86_64}
dpi=${4:-}
stop
rm -rf "$dir"
mkdir -p "$dir"

# Take the first display number that is free and whose server really comes up (another test
# run may be starting one at the same moment).
display="" xvfb_pid=""
for n in $(seq 91 140); do
  [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
  Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >"$dir/xvfb.log" 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 1 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
  if kill -0 "$xvfb_pid" 2>/dev/null && [ -e "/tmp/.X11-unix/X$n" ]; then display=$n; break; fi
  kill "$xvfb_pid" >/dev/null 2>&1 || true
done
[ -n "$display" ] || { echo "no free X display" >&2; exit 1; }
trap 'kill $xvfb_pid >/dev/null 2>&1 || true' ERR

if [ "$arch" = i686 ]; then wine_bin=/usr/bin/wine; else wine_bin=/usr/lib/wine/wine64; fi
prefix="$dir/prefix"
export WINEPREFIX="$prefix" WINEDEBUG=-all DISPLAY=":$display"
# One wineserver for the whole run, so that each test program starts quickly.
mkdir -p "$prefix"
wineserver -p </dev/null >/dev/null 2>&1
# No Mono or Gecko download prompts while the prefix is made.
WINEDLLOVERRIDES="mscoree=d;mshtml=d" "$wine_bin" wineboot -i >"$dir/wineboot.log" 2>&1 || true
# The dialog font: "MS Shell Dlg" is Tahoma, which Wine finds only in the prefix's Fonts folder
# (its own copy, from the package fonts-wine, is not searched). Without it the font falls back to
# a wider one (base units 7 x 13 instead of Windows' 6 x 13) and no layout is what Windows users
# see.
wine_fonts=/usr/share/wine/fonts
if [ -f "$wine_fonts/tahoma.ttf" ]; then
  mkdir -p "$prefix/drive_c/windows/Fonts"
  cp "$wine_fonts"/tahoma*.ttf "$prefix/drive_c/windows/Fonts/"
else
  echo "warning: Wine's own fonts are missing (package fonts-wine); layouts will not be Windows'" >&2
fi
# A crashing test program must end, not wait behind a crash dialog.
"$wine_bin" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
if [ -n "$dpi" ]; then
  # Programs read the DPI when the prefix's server starts: set it in both places Wine looks, then
  # start the server again.
  "$wine_bin" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
  "$wine_bin" reg add 'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts' \
    /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
  wineserver -p </dev/null >/dev/null 2>&1
  # The prefix's services start with its first program: here, not in a test that ctest waits on
  # until every program holding its output has ended.
  "$wine_bin" wineboot </dev/null >/dev/null 2>&1 || true
fi

cat >"$dir/env" <<ENV
export WINEPREFIX="$prefix"
export WINEDEBUG="\${WINEDEBUG:--all}"
export DISPLAY=":$display"
export WINE_BIN="$wine_bin"
export XVFB_PID=$xvfb_pid
ENV
echo "wine session ready: prefix $prefix, display :$display ($arch${dpi:+, $dpi DPI})"
