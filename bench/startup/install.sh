# Sourced by the start-up and memory benchmarks: Norvane installed as the suite installs it and
# a product with an update waiting, as the agent leaves things, in the Wine session of $session
# (its env already loaded), with the vendor's servers played by the loopback stand-in.
#   install_norvane WORK PRODUCT   sets: inst (Norvane's folder), server_pid, port, downloads
# The caller ends $server_pid.

winpath() { echo "Z:${1//\//\\}"; }

install_norvane() {
  local work=$1 product=$2 test_bin=$root/build/test/bin doubles=$root/build/test/doubles
  mkdir -p "$work/www/show"
  cp "$doubles/offer_setup.exe" "$work/www/scanly_setup.exe"
  printf '<html><head><!--86435486-A14F-4f74-B4AC-444F6968BA1B--></head><body>ad</body></html>' \
    >"$work/www/show/dravel_end_addin.aspx"
  printf '{\\rtf1 Bench licence, revision 3}' >"$work/www/eula.rtf"
  local md5
  md5=$(md5sum "$work/www/scanly_setup.exe" | cut -d' ' -f1)
  rm -f "$work/port"
  "$WINE_BIN" "$(winpath "$doubles/vendor_server.exe")" "$(winpath "$work/www")" \
    "$(winpath "$work/server.log")" "$(winpath "$work/port")" 900 >/dev/null 2>&1 &
  server_pid=$!
  for _ in $(seq 1 200); do [ -s "$work/port" ] && break; sleep 0.1; done
  [ -s "$work/port" ] || { echo "the server stand-in did not start" >&2; return 1; }
  port=$(tr -d '\r\n' <"$work/port")
  local server="http://127.0.0.1:$port"
  # The option file the add-on server hands out: a middle offer, the log address and a licence.
  cat >"$work/www/default.ashx" <<XML
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
  <option>
    <logurl><![CDATA[$server/UpdateLog.aspx]]></logurl>
    <eula ver="3"><![CDATA[$server/eula.rtf]]></eula>
  </option>
</addon>
XML
  sleep 1  # the stand-in serves files added after its start once it has looked again
  local reg
  reg() { "$WINE_BIN" reg add "$1" /v "$2" /t "$3" /d "$4" /f /reg:32 >/dev/null 2>&1; }
  for host in AddonServerHost AdServerHost; do
    reg 'HKLM\Software\Quindel\Dravel' "$host" REG_SZ "127.0.0.1:$port"
  done

  inst="$work/Ostrey Update"
  local agent="$work/Quindel Dravel" product_dir="$work/Program Files/$product"
  downloads="$work/Downloads"
  rm -rf "$inst" "$agent" "$work/Program Files" "$downloads"
  mkdir -p "$inst" "$agent" "$product_dir" "$downloads"
  cp "$test_bin/Norvane.exe" "$test_bin/ko-KR.dll" "$doubles/Dravel.exe" "$inst/"
  cp "$doubles/Dravel.exe" "$agent/"
  cp "$doubles/RecordedProgram.exe" "$product_dir/$product.exe"
  cp "$doubles/product_setup.exe" "$downloads/${product}_setup.exe"
  reg "HKLM\\Software\\Quindel\\$product" Version REG_SZ 3.1.0
  reg "HKLM\\Software\\Quindel\\$product" Locale REG_SZ ko-KR
  reg "HKLM\\Software\\Quindel\\$product" LicenseType REG_SZ "Free Home"
  reg "HKLM\\Software\\Quindel\\$product" RootDir REG_SZ "$(winpath "$product_dir")"
  # An older licence than the option file's: the licence page comes, as after a licence change.
  reg "HKLM\\Software\\Quindel\\$product" EULAVersion REG_DWORD 2
  reg 'HKLM\Software\Quindel\Dravel' RootDir REG_SZ "$(winpath "$agent")"
  # What the agent's "/checkupdate" finds and writes into the product's UpdateInfo.ini.
  sed 's/$/\r/' >"$inst/Dravel.UpdateInfo.ini" <<INI
[ProductInfo]
EngName=$product
LocalName=$product Photo
Mutex=${product}Running
MainApp=$product.exe
NewVersion=3.2.0
Descript1=Faster start-up
Descript2=Pictures open twice as fast.\nThe viewer remembers the last folder.
SimpleDescript=Faster start-up\nPictures open twice as fast.
Updated=1
[FileInfo]
DownloadedPath=$(winpath "$downloads/${product}_setup.exe")
INI
}

# A new prefix goes on installing itself (wineboot, rundll32 with wine.inf) for a while after
# session.sh returns; timings taken meanwhile measure that, not the programs. Waits until no
# process of this prefix runs either (at most two minutes).
wait_prefix_settled() {
  local busy pid
  for _ in $(seq 1 240); do
    busy=0
    for pid in $(pgrep -f 'wineboot.exe|rundll32.exe' || true); do
      if { tr '\0' '\n' <"/proc/$pid/environ"; } 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX"; then busy=1; fi
    done
    [ "$busy" = 0 ] && return 0
    sleep 0.5
  done
  echo "the Wine prefix is still setting itself up" >&2
  return 1
}
