#!/usr/bin/env bash
# The Windows zip as a user meets it: unpacked into the Downloads folder of a
# fresh Wine prefix, its program started without arguments opens the window
# on a new list in %APPDATA%\Tarnwick\, and with -w and a data file beside it
# exports that list into a REG file beside it.
#   wine_zip_e2e.sh ZIP
# Needs an X display and xdotool.
set -euo pipefail

zip=$1
. "$(dirname "$0")/wine_window_lib.sh"
fresh_prefix

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
keys Tarnwick alt+x || cat "$work/window.txt" >&2
finished
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

report "the Windows zip in a fresh Wine prefix"
