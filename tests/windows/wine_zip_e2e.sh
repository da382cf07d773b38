#!/usr/bin/env bash
# The Windows zip as a user meets it: unpacked into the Downloads folder of a
# fresh Wine prefix, its program started without arguments opens the window
# on a new list in %APPDATA%\Tarnwick\, and with -w and a data file beside it
# exports that list into a REG file beside it.
#   wine_zip_e2e.sh ZIP
# Needs an X display and xdotool.
set -euo pipefail

zip=$1
work=$(mktemp -d)
pid=""
cleanup() {
  [ -z "$pid" ] || kill "$pid" 2>/dev/null || true
  wineserver -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
[ -n "${DISPLAY:-}" ] || { echo "FAIL: no X display" >&2; exit 1; }
export WINEDEBUG=-all WINEPREFIX=$work/prefix WINEDLLOVERRIDES="mscoree,mshtml="
wineboot -i >/dev/null 2>&1

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
win() { winepath -w "$1" 2>/dev/null; }

name=$(basename "$zip" .zip)
downloads=$(winepath -u "$(wine cmd /c 'echo %USERPROFILE%' | tr -d '\r')")/Downloads
mkdir -p "$downloads"
(cd "$downloads" && cmake -E tar xf "$zip")
folder=$downloads/$name
for file in tarnwick.exe README-ja.txt LICENSE.txt help/index.html licenses/Qt-LGPL-3.0.txt \
  licenses/GPL-3.0.txt licenses/Qt-third-party.txt licenses/MinGW-w64-runtime.txt; do
  [ -s "$folder/$file" ] || fail "the zip has no $name/$file"
done
[ "$(head -c 3 "$folder/README-ja.txt" | od -An -tx1 | tr -d ' ')" = efbbbf ] ||
  fail "README-ja.txt does not start with a UTF-8 byte order mark"
exe="$(win "$folder/tarnwick.exe")"

# A double click: the window, on a new list in %APPDATA%\Tarnwick\.
wine "$exe" 2>"$work/window.txt" &
pid=$!
id=$(timeout 60 xdotool search --sync --onlyvisible --name Tarnwick 2>/dev/null | head -n 1)
if [ -z "$id" ]; then
  fail "the window did not show: $(cat "$work/window.txt")"
else
  xdotool windowactivate --sync "$id" 2>/dev/null || xdotool windowfocus --sync "$id"
  xdotool key alt+x
fi
status=0
wait "$pid" || status=$?
pid=""
[ "$status" = 0 ] || fail "the window ended with status $status"
appdata=$(winepath -u "$(wine cmd /c 'echo %APPDATA%' | tr -d '\r')")
[ -f "$appdata/Tarnwick/tarnwick.ini" ] || fail "no settings file in %APPDATA%\\Tarnwick"

# A batch export of the list beside the program.
wine reg add 'HKCU\Software\TarnwickZip' /v Made /d 'ダウンロードから' /f >/dev/null
printf '[BackupItems]\r\nzip=HKCU\\Software\\TarnwickZip,,0\r\n' >"$folder/tarnwick.dat"
status=0
wine "$exe" -w -p 2>"$work/batch.txt" || status=$?
[ "$status" = 0 ] || fail "tarnwick.exe -w: status $status, $(cat "$work/batch.txt")"
reg=$(iconv -f UTF-16LE -t UTF-8 "$folder/tarnwick.reg" 2>/dev/null | tr -d '\r' || true)
grep -q '^"Made"="ダウンロードから"$' <<<"$reg" || fail "tarnwick.reg lacks the value: $reg"

if ((failures)); then
  echo "$failures failure(s)" >&2
  exit 1
fi
echo "the Windows zip in a fresh Wine prefix: all passed"
