#!/usr/bin/env bash
# The main job, end to end under Wine against the bundled stand-ins: the vendor's web server
# (a loopback server that records every request) and a fresh Wine prefix and display.
# What it shows grows with the program; today: Norvane's start-up decisions, a "/sendlog"
# report, a background preparation that fetches an update's option file, offered setup and
# licence, the update window, one whole update walked through page by page against the agent's
# stand-in (the licence accepted, the product's setup stand-in reporting its progress and its end
# to the progress page, the middle offer installed after it, the advertisement request, the end
# offer installed from the completion page, and the update log on the server), and Pallix's
# registry chores.
# Screenshots go to build/demo/.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

step() { printf '== %s\n' "$*"; }
step "checking the packages the project needs (first run: installs them, about a minute)"
tools/setup.sh >/dev/null
step "building Norvane, Pallix, the language module and the stand-ins (first run: a few minutes)"
tools/build.sh --demo >/dev/null

demo=$root/build/demo
session=$demo/session
mkdir -p "$demo"
rm -f "$demo"/*.png "$demo"/server.log "$demo"/port
step "setting up Wine (a prefix and a display of the demo's own, about half a minute)"
tests/harness/session.sh start "$session" "$(tools/test-arch.sh)" >/dev/null
trap 'tests/harness/session.sh stop "$session"' EXIT
# shellcheck disable=SC1091
. "$session/env"

winpath() { echo "Z:${1//\//\\}"; }
bin=build/test/bin
norvane=$(winpath "$root/$bin/Norvane.exe")

say() { printf '\n== %s\n' "$*"; }
run_norvane() {  # prints and returns Norvane's exit code
  local code=0
  "$WINE_BIN" "$norvane" "$@" >/dev/null 2>&1 || code=$?
  echo "$code"
}

say "Starting the vendor's server stand-in"
# What the add-on server hands out for Fennick: an option file offering Scanly as the middle
# offer and Notely as the end offer (both setups are the offered-setup stand-in), the log address
# and a licence text. The advertisement server's add-in page is the same server's.
rm -rf "$demo/www"; mkdir -p "$demo/www/show"
cp build/test/doubles/offer_setup.exe "$demo/www/scanly_setup.exe"
cp build/test/doubles/offer_setup.exe "$demo/www/notely_setup.exe"
printf '<html><head><!--86435486-A14F-4f74-B4AC-444F6968BA1B--></head><body>Ostrey</body></html>' \
  >"$demo/www/show/dravel_end_addin.aspx"
printf '{\\rtf1 Ostrey licence, revision 3}' >"$demo/www/eula.rtf"
# The product's logo: a real picture of the size the description page leaves for it (shown
# unscaled), as the add-on server hands it out.
convert -size 40x40 gradient:'#1f5fa8-#7fb3e6' -fill white -draw 'roundrectangle 8,8 32,32 4,4' \
  -fill '#1f5fa8' -draw 'rectangle 15,13 26,17' -draw 'rectangle 15,13 19,28' -draw 'rectangle 15,20 24,23' \
  -type truecolor "bmp3:$demo/www/fennick_logo.bmp"
md5=$(md5sum "$demo/www/scanly_setup.exe" | cut -d' ' -f1)
"$WINE_BIN" "$(winpath "$root/build/test/doubles/vendor_server.exe")" "$(winpath "$demo/www")" \
  "$(winpath "$demo/server.log")" "$(winpath "$demo/port")" 300 >/dev/null 2>&1 &
server_pid=$!
for _ in $(seq 1 100); do [ -s "$demo/port" ] && break; sleep 0.1; done
port=$(tr -d '\r\n' <"$demo/port")
echo "listening on 127.0.0.1:$port"
server="http://127.0.0.1:$port"
cat >"$demo/www/default.ashx" <<XML
<?xml version="1.0" encoding="utf-8"?>
<addon>
  <addproduct type="middle">
    <productinfo>
      <name>Scanly</name><namelocal>Scanly Virus Scan</namelocal><ver>1.2</ver>
      <url checksum="$md5"><![CDATA[$server/scanly_setup.exe]]></url>
      <setcheckbox>1</setcheckbox>
      <textadd><![CDATA[Also install Scanly Virus Scan]]></textadd>
      <textupdate><![CDATA[Also update Scanly Virus Scan]]></textupdate>
    </productinfo>
  </addproduct>
  <addproduct type="end">
    <productinfo>
      <name>Notely</name><namelocal>Notely Notes</namelocal><ver>2.0</ver>
      <url checksum="$md5"><![CDATA[$server/notely_setup.exe]]></url>
      <setcheckbox>1</setcheckbox>
      <textadd><![CDATA[Also install Notely Notes]]></textadd>
      <textupdate><![CDATA[Also update Notely Notes]]></textupdate>
    </productinfo>
  </addproduct>
  <option>
    <logurl><![CDATA[$server/UpdateLog.aspx]]></logurl>
    <eula ver="3"><![CDATA[$server/eula.rtf]]></eula>
  </option>
</addon>
XML
# The vendor's hosts are machine settings (the 32-bit view): point the add-on and advertisement
# servers at the stand-in.
for host in AddonServerHost AdServerHost; do
  "$WINE_BIN" reg add 'HKLM\Software\Quindel\Dravel' /v $host /t REG_SZ /d "127.0.0.1:$port" /reg:32 /f >/dev/null 2>&1
done

say "A low-integrity copy reports a start-page result: /sendlog"
url="http://127.0.0.1:$port/InstallerPattern.aspx?url=7&no=2&pd=dv_Fennick&cr=0&sr=0&cv=1.0&ov=9.2.6.1&ch=demo"
echo "exit code $(run_norvane /sendlog "$url") (1 = sent)"
sleep 0.5
echo "the server saw:"; sed 's/^/    /' "$demo/server.log"

say "The same report to a server that is down"
echo "exit code $(run_norvane /sendlog "http://127.0.0.1:1/InstallerPattern.aspx?x=1") (2 = failed)"

say "Start-up decisions"
echo "only a switch, no product:      exit $(run_norvane /explicitupdate), no window"
echo "a switch Norvane does not know: exit $(run_norvane /installnow Fennick), no window"

say "The agent found an update of Fennick: a background preparation (/bgprepare)"
data=$WINEPREFIX/drive_c/users/$(id -un)/AppData/Roaming/Quindel/Dravel
mkdir -p "$data/Fennick"
cat >"$data/Fennick/UpdateInfo.ini" <<INI
[ProductInfo]
EngName=Fennick
LocalName=Fennick Photo
Mutex=FennickRunning
MainApp=Fennick.exe
NewVersion=3.2.0
Descript1=Faster start-up
Descript2=Pictures open twice as fast.\nThe viewer remembers the last folder.
LogoImageURL=$server/fennick_logo.bmp
Updated=1
[FileInfo]
DownloadedPath=C:\\fennick_setup.exe
INI
sleep 1  # the stand-in picks up the option file
: >"$demo/server.log"
echo "exit code $(run_norvane /bgprepare Fennick), no window; the server saw:"
sleep 0.5; sed 's/^/    /' "$demo/server.log"
echo "Fennick's SetupOption.ini for the instance that shows the update:"
sed 's/^/    /' "$data/Fennick/SetupOption.ini" | tr -d '\r'
echo "files prepared in the data folder:"
(cd "$data" && find . -type f | sort | sed 's/^/    /')

say "The update window for Fennick (/EXPLICITUPDATE, the switch in any case)"
"$WINE_BIN" "$norvane" /EXPLICITUPDATE Fennick >/dev/null 2>&1 &
first=$!
sleep 4
import -window root "$demo/update-window.png" && echo "screenshot: build/demo/update-window.png"

say "A second Norvane for Fennick while the window is open"
start=$(date +%s.%N)
code=$(run_norvane /updatenotice Fennick)
end=$(date +%s.%N)
printf 'exit %s after %.1f s: it waited for the product mutex and gave up\n' "$code" "$(echo "$end - $start" | bc)"

say "A background preparation for Fennick at the same time"
start=$(date +%s.%N)
code=$(run_norvane /bgprepare Fennick)
end=$(date +%s.%N)
printf 'exit %s after %.1f s: it has a mutex of its own\n' "$code" "$(echo "$end - $start" | bc)"

say "Without its language module Norvane ends silently"
tmp=$demo/no-module; rm -rf "$tmp"; mkdir -p "$tmp"; cp "$bin/Norvane.exe" "$tmp/"
code=0; "$WINE_BIN" "$(winpath "$tmp/Norvane.exe")" /explicitupdate Fennick >/dev/null 2>&1 || code=$?
echo "exit $code, no window"

kill "$first" >/dev/null 2>&1 || true
sleep 1

say "A whole update of Fennick as its user goes through it (/explicitupdate, the agent's stand-in)"
# Norvane as the suite installs it, with the agent's stand-in beside it (the check); the agent's
# own installation (its restart after the update); Fennick's installation, whose main program is
# a stand-in that records how it was started; the downloaded setup, a stand-in that reports its
# progress and its end to the window handle it is given and records its command line.
inst="$demo/Ostrey Update" agent="$demo/Quindel Dravel" fennick="$demo/Program Files/Fennick"
downloads="$demo/Downloads"
rm -rf "$inst" "$agent" "$demo/Program Files" "$downloads"
mkdir -p "$inst" "$agent" "$fennick" "$downloads"
cp "$bin/Norvane.exe" "$bin/ko-KR.dll" build/test/doubles/Dravel.exe "$inst/"
cp build/test/doubles/Dravel.exe "$agent/"
cp build/test/doubles/RecordedProgram.exe "$fennick/Fennick.exe"
cp build/test/doubles/product_setup.exe "$downloads/fennick_setup.exe"
hklm() { "$WINE_BIN" reg add "HKLM\\Software\\Quindel\\$1" /v "$2" /t REG_SZ /d "$3" /f /reg:32 >/dev/null 2>&1; }
hklm Fennick Version 3.1.0
hklm Fennick Locale ko-KR
hklm Fennick LicenseType "Free Home"
hklm Fennick RootDir "$(winpath "$fennick")"
# Fennick's users accepted licence revision 2; the option file names revision 3: the licence
# page comes.
"$WINE_BIN" reg add 'HKLM\Software\Quindel\Fennick' /v EULAVersion /t REG_DWORD /d 2 /f /reg:32 >/dev/null 2>&1
hklm Dravel RootDir "$(winpath "$agent")"
# What the agent's "/checkupdate Fennick" finds and writes into Fennick's UpdateInfo.ini.
sed 's/$/\r/' >"$inst/Dravel.UpdateInfo.ini" <<INI
[ProductInfo]
EngName=Fennick
LocalName=Fennick Photo
Mutex=FennickRunning
MainApp=Fennick.exe
NewVersion=3.2.0
Descript1=Faster start-up
Descript2=Pictures open twice as fast.\nThe viewer remembers the last folder.
SimpleDescript=Faster start-up\nPictures open twice as fast, and the viewer remembers the last folder.
Updated=1
[FileInfo]
DownloadedPath=$(winpath "$downloads/fennick_setup.exe")
INI
: >"$demo/server.log"
rm -f "$demo/setup.record" "$demo/offer.record"
code=0
# The setup's and the offered setup's settings reach them through Norvane's environment: ten
# steps a third of a second apart, and a record of how each was started.
PRODUCT_SETUP_STEPS=10 PRODUCT_SETUP_DELAY=350 PRODUCT_SETUP_RECORD="$(winpath "$demo/setup.record")" \
OFFER_SETUP_RECORD="$(winpath "$demo/offer.record")" \
OSTREY_ARTIFACT_DIR="$demo" "$WINE_BIN" "$(winpath "$root/build/test/tests-bin/update_walk.exe")" \
  "$(winpath "$inst/Norvane.exe")" Fennick update- 2>/dev/null | tr -d '\r' | sed 's/^/    /' || code=$?
calls() { for f in "$@"; do if [ -e "$f" ]; then tr -d '\r' <"$f" | sed -n 's/^cmd=/    /p'; fi; done; }
# Norvane restarts the agent without waiting for it: give it a moment to leave its record.
for _ in $(seq 1 50); do compgen -G "$agent/Dravel.exe.*.call" >/dev/null && break; sleep 0.1; done
echo "the agent was started (its call records):"
calls "$inst"/Dravel.exe.*.call "$agent"/Dravel.exe.*.call
echo "the product's setup was started (its record):"
if [ -e "$demo/setup.record" ]; then tr -d '\r' <"$demo/setup.record" | sed 's/^/    /'; fi
echo "the offered setups ran with (the middle offer's after the product's setup, the end offer's"
echo "from the completion page):"
if [ -s "$demo/offer.record" ]; then tr -d '\r' <"$demo/offer.record" | sed 's/^/    /'; else echo "    none"; fi
echo "Fennick was started after the update:"
if compgen -G "$fennick/Fennick.exe.*.call" >/dev/null; then
  calls "$fennick"/Fennick.exe.*.call
else
  echo "    no: Fennick's option page has no box for starting it after the update"
fi
if [ -e "$downloads/fennick_setup.exe" ]; then echo "the downloaded setup is still there"; else echo "the downloaded setup was deleted"; fi
sleep 0.5
echo "the server saw:"; sed 's/^/    /' "$demo/server.log"
echo "pictures: build/demo/update-*.png (walk exit code $code: 0 = Norvane ended normally after the completion page)"

kill "$server_pid" >/dev/null 2>&1 || true

say "Pallix, the toolbar's install helper: one chore per switch, exit code always 0"
pallix=$(winpath "$root/$bin/Pallix.exe")
pallix_run() { local code=0; "$WINE_BIN" "$pallix" "$@" >/dev/null 2>&1 || code=$?; echo "Pallix $* -> exit $code"; }
pallix_run -regstring hkcu 'Software\Quindel\Demo' Greeting 'hello from Pallix'
pallix_run -regdword hkcu 'Software\Quindel\Demo' Count 12abc
pallix_run -registsearchscope
pallix_run -closeallbrowser
pallix_run -Uninstall
"$WINE_BIN" reg query 'HKCU\Software\Quindel\Demo' 2>/dev/null | tr -d '\r' | sed '/^$/d; s/^/    /'
"$WINE_BIN" reg query 'HKCU\Software\Microsoft\Internet Explorer\SearchScopes' /s 2>/dev/null | tr -d '\r' | grep -E 'DisplayName|URL|DefaultScope' | sed 's/^/    /'
say "Done"
