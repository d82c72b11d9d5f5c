#!/usr/bin/env bash
# Wine sessions for tests, the demo and the benchmarks: a Wine prefix and an Xvfb display made for
# one run only (never the user's own ~/.wine).
#   session.sh start DIR ARCH [FROM]  makes DIR/prefix (a copy of the booted prefix FROM when
#                                     given, else a fresh boot), starts Xvfb and a persistent
#                                     wineserver, writes DIR/env for wine-run.sh
#   session.sh template DIR ARCH      boots DIR/prefix once and leaves no server running, for
#                                     sessions to copy (each test program gets its own session)
#   session.sh stop DIR               stops the session's wineserver and Xvfb
#   session.sh stop-all DIR           stops every session under DIR/runs (wine-run.sh's)
# OSTREY_LOGPIXELS (96, 120, 144) sets the session's screen DPI before its server starts.
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
if [ "$cmd" = stop-all ]; then  # every session under DIR/runs that a killed program left running
  for env in "$dir"/runs/*/env; do
    [ -f "$env" ] && "$0" stop "$(dirname "$env")"
  done
  rm -rf "$dir/runs"
  exit 0
fi

arch=${3:-x86_64}
from=${4:-}
if [ "$arch" = i686 ]; then wine_bin=/usr/bin/wine; else wine_bin=/usr/lib/wine/wine64; fi
prefix="$dir/prefix"

stop
rm -rf "$dir"
mkdir -p "$dir"
export WINEPREFIX="$prefix" WINEDEBUG=-all

boot() {  # makes the prefix; leaves no server running
  mkdir -p "$prefix"
  # The prefix is made by a server of its own that ends with it; only then may a persistent
  # server start. Booting inside an already persistent server leaves two service managers, and
  # from then on every start of the RPC service (COM, the browser control) waits out a time-out.
  # No Mono or Gecko download prompts while the prefix is made.
  WINEDLLOVERRIDES="mscoree=d;mshtml=d" DISPLAY= "$wine_bin" wineboot -i >"$dir/wineboot.log" 2>&1 || true
  # The dialog font: "MS Shell Dlg" is Tahoma, which Wine finds only in the prefix's Fonts
  # folder (its own copy, from the package fonts-wine, is not searched). Without it the font
  # falls back to a wider one (base units 7 x 13 instead of Windows' 6 x 13) and no layout is
  # what Windows users see.
  local wine_fonts=/usr/share/wine/fonts
  if [ -f "$wine_fonts/tahoma.ttf" ]; then
    mkdir -p "$prefix/drive_c/windows/Fonts"
    cp "$wine_fonts"/tahoma*.ttf "$prefix/drive_c/windows/Fonts/"
  else
    echo "warning: Wine's own fonts are missing (package fonts-wine); layouts will not be Windows'" >&2
  fi
  # A crashing test program must end, not wait behind a crash dialog.
  "$wine_bin" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
  wineserver -w
}

if [ "$cmd" = template ]; then
  boot
  echo "$arch" >"$dir/arch"
  echo "wine template ready: prefix $prefix ($arch)"
  exit 0
fi

if [ -n "$from" ]; then
  cp -a "$from" "$prefix"
else
  boot
fi

if [ -n "${OSTREY_LOGPIXELS:-}" ]; then
  # The DPI is read when the server starts: both places Windows keeps it.
  for key in 'HKCU\Control Panel\Desktop' \
             'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts'; do
    "$wine_bin" reg add "$key" /v LogPixels /t REG_DWORD /d "$OSTREY_LOGPIXELS" /f >/dev/null 2>&1
  done
  wineserver -w
fi

# Take the first display number that is free and whose server really comes up (another session
# may be starting one at the same moment: the display is ours only if its lock names our Xvfb).
display="" xvfb_pid=""
for n in $(seq 91 190); do
  [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
  Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >"$dir/xvfb.log" 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 1 50); do
    [ -e "/tmp/.X11-unix/X$n" ] && [ "$(tr -d ' \n' <"/tmp/.X$n-lock" 2>/dev/null)" = "$xvfb_pid" ] && break
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$xvfb_pid" 2>/dev/null && [ -e "/tmp/.X11-unix/X$n" ] &&
     [ "$(tr -d ' \n' <"/tmp/.X$n-lock" 2>/dev/null)" = "$xvfb_pid" ]; then
    display=$n
    break
  fi
  kill "$xvfb_pid" >/dev/null 2>&1 || true
done
[ -n "$display" ] || { echo "no free X display" >&2; exit 1; }
export DISPLAY=":$display"

# One wineserver for the whole session, so that each program starts quickly.
wineserver -p </dev/null >/dev/null 2>&1

cat >"$dir/env" <<ENV
export WINEPREFIX="$prefix"
export WINEDEBUG="\${WINEDEBUG:--all}"
export DISPLAY=":$display"
export WINE_BIN="$wine_bin"
export XVFB_PID=$xvfb_pid
ENV

# A session whose RPC service cannot start would cost every COM call of every test a time-out:
# fail here, once, with the reason.
# (Into a file: the services it starts keep their output open, which a pipe would wait for.)
# Right after the server starts, its service manager may not be up yet: that answer is asked
# again, for a few seconds.
for _ in 1 2 3 4 5 6 7 8 9 10; do
  "$wine_bin" net start rpcss >"$dir/rpcss.log" 2>&1 </dev/null || true
  rpcss=$(tr -d '\r' <"$dir/rpcss.log")
  case "$rpcss" in
    *"Could not get handle to service control manager"*) sleep 1 ;;
    *) break ;;
  esac
done
case "$rpcss" in
  *"already running"*|*"started successfully"*|*"was started"*) ;;
  *) echo "the session's RPC service does not start: $rpcss" >&2
     stop
     exit 1 ;;
esac
echo "wine session ready: prefix $prefix, display :$display ($arch${OSTREY_LOGPIXELS:+, $OSTREY_LOGPIXELS DPI})"
