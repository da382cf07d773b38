#!/usr/bin/env bash
# tarnwick.exe's window under Wine, driven from the keyboard with xdotool as a
# person would. Alt+W writes the same bytes as a batch export of the same
# list; Alt+A opens the property dialog, whose registry tree is the live
# registry (a key made just before the start is found in it by typing its
# name), and Esc cancels it; Alt+X ends the program with the data file and the
# settings file saved, the window's place among them.
#   wine_window_e2e.sh TARNWICK_EXE
# Needs an X display (scripts/build.sh runs the Windows tests under xvfb-run)
# and xdotool. Uses $WINEPREFIX (one prefix for the whole run), else its own.
set -euo pipefail

exe=$1
. "$(dirname "$0")/wine_window_lib.sh"
[ -n "${WINEPREFIX:-}" ] || fresh_prefix

wine reg add 'HKCU\Software\TarnwickWindow\Editor' /v Font /d 'メイリオ' /f >/dev/null
wine reg add 'HKCU\Software\TarnwickWindow\Viewer' /v Zoom /t REG_DWORD /d 100 /f >/dev/null

# The list (CP932, as the program keeps it) with its settings, version 5 and
# deletion lines, and a window place to start from.
printf '[Tarnwick]\r\nVersion=205\r\n\r\n[BackupItems]\r\n編集=HKCU\\Software\\TarnwickWindow\\Editor,,0\r\n表示=HKCU\\Software\\TarnwickWindow\\Viewer,,0\r\n\r\n[Settings]\r\nRegFileName=\r\nFullRestore=1\r\nRegEditVer=5\r\n' |
  iconv -f UTF-8 -t CP932 >"$work/items.dat"
cp "$work/items.dat" "$work/batch.dat"
printf '[Window]\r\nLeft=40\r\nTop=30\r\nWidth=640\r\nHeight=420\r\n' >"$work/tarnwick.ini"
cp "$work/tarnwick.ini" "$work/batch.ini"
wine "$exe" -w -p "-i$(win "$work/batch.ini")" "$(win "$work/batch.dat")" 2>"$work/batch.txt" ||
  fail "the batch export: status $?, $(cat "$work/batch.txt")"

# Started as Explorer starts it, without standard handles (a shortcut, a
# scheduled task), -w still exports, with the progress dialog in place of
# the console's messages...
cp "$work/batch.dat" "$work/quiet.dat"
status=0
wine start /wait /unix "$exe" -w "-i$(win "$work/batch.ini")" "$(win "$work/quiet.dat")" ||
  status=$?
[ "$status" = 0 ] && cmp -s "$work/quiet.reg" "$work/batch.reg" ||
  fail "-w without standard files: status $status, or another REG file"

# ... and an invalid command line says so in a message box, closed by Enter.
wine start /wait /unix "$exe" -z &
pid=$!
keys Tarnwick Return
finished
[ "$status" = 2 ] || fail "an invalid command line without standard files: status $status"

wine reg add 'HKCU\Software\TarnwickLive' /v made /d now /f >/dev/null
wine "$exe" "-i$(win "$work/tarnwick.ini")" "$(win "$work/items.dat")" 2>"$work/window.txt" &
pid=$!

# Alt+W: every item into items.reg, the bytes of the batch export.
keys Tarnwick alt+w
# (The file gets its name only when it is complete.)
await test -s "$work/items.reg" || fail "Alt+W wrote no REG file"
await gone 'REGファイル書き出し' || fail "the progress dialog stayed open"
cmp -s "$work/items.reg" "$work/batch.reg" || fail "the window's export differs from the batch export"
iconv -f UTF-16LE -t UTF-8 "$work/items.reg" | tr -d '\r' | grep -qx '\[-HKEY_CURRENT_USER\\Software\\TarnwickWindow\\Editor\]' ||
  fail "items.reg is not the version 5 file with deletion lines the list asks for"

# Alt+A, then Esc: the dialog closes and the list stays as it was.
keys Tarnwick alt+a
keys '新規アイテムのプロパティ' Escape
await gone '新規アイテムのプロパティ' || fail "Esc did not close the property dialog"

# Alt+A again: the key made before the start is in the tree. A typed name
# selects a node (after a pause, so that it is not read as the end of the
# name before), Right opens it; Alt+A adds the selected key, and Enter in the
# name box (filled from the key) is OK.
keys Tarnwick alt+a
keys '新規アイテムのプロパティ' alt+r
for name in HKEY_CURRENT_USER Software TarnwickLive; do
  sleep 1
  xdotool type --delay 50 "$name"
  [ "$name" = TarnwickLive ] || xdotool key Right
done
xdotool key --delay 300 alt+a alt+n Return
await gone '新規アイテムのプロパティ' || fail "the property dialog did not take the live key"

# Where the window is now is saved on the way out. (Wine reads the move
# before the key that follows it.)
id=$(window Tarnwick)
xdotool windowmove --sync "$id" 200 150 2>/dev/null || true
keys Tarnwick alt+x
finished
[ "$status" = 0 ] || fail "Alt+X: status $status, $(cat "$work/window.txt")"
iconv -f CP932 -t UTF-8 "$work/items.dat" | grep -q '^TarnwickLive=HKCU\\Software\\TarnwickLive,' ||
  fail "the key chosen in the live tree is not in the saved list: $(iconv -f CP932 -t UTF-8 "$work/items.dat")"
# The place is the client area's: the moved frame's corner plus its border.
place() { tr -d '\r' <"$work/tarnwick.ini" | sed -n "s/^$1=//p"; }
left=$(place Left) top=$(place Top)
[ "${left:-0}" -ge 200 ] && [ "$left" -lt 240 ] && [ "${top:-0}" -ge 150 ] && [ "$top" -lt 200 ] &&
  [ "$(place Width)" = 640 ] && [ "$(place Height)" = 420 ] ||
  fail "the window's place was not saved: Left=$left Top=$top Width=$(place Width) Height=$(place Height)"

report "tarnwick.exe's window under Wine"
