#!/usr/bin/env bash
# tarnwick.exe end to end on a real Wine registry: values of every type are
# written with Wine's own regedit, exported with tarnwick.exe -w in both REG
# versions and compared byte for byte with the expected files; each export
# is imported again under a fresh key name and must bring back every value;
# FullRestore must remove a subkey added after the backup; --compare must
# find nothing to change after each import, as after importing files that
# Windows' regedit wrote; and the Linux
# program, reading the same prefix's files, must write the same bytes,
# also of hostile names and data.
#   wine_e2e.sh TARNWICK_EXE EXPECTED_DIR [LINUX_TARNWICK]
# Uses $WINEPREFIX (one prefix for the whole test run), else makes its own.
set -euo pipefail

exe=$1
expected=$2
linux=${3:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export WINEDEBUG=-all
if [ -z "${WINEPREFIX:-}" ]; then
  export WINEPREFIX=$work/prefix
  wineboot -i >/dev/null 2>&1
fi
# Wine's regedit reads REGEDIT4 files in the locale's code page.
export LANG=ja_JP.UTF-8

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
win() { winepath -w "$1" 2>/dev/null; }
key='HKEY_CURRENT_USER\Software\TarnwickE2E'

# The bytes of a text as UTF-16LE, in the REG file's hex notation.
hex16() { printf '%b' "$1" | iconv -f UTF-8 -t UTF-16LE | od -An -tx1 -v | tr -s ' \n' ',' | sed 's/^,//; s/,$//'; }
bytes() { # count first-value
  local i out=""
  for ((i = 0; i < $1; i++)); do out+=$(printf '%02x,' $((($2 + i) % 256))); done
  printf '%s' "${out%,}"
}

# UTF-16LE with a BOM and CRLF, as the registry editor writes version 5.
to_reg5() { sed 's/$/\r/' | iconv -f UTF-8 -t UTF-16LE | { printf '\xff\xfe'; cat; }; }
from_reg() { # file: its text as UTF-8 with LF line ends, whatever its version
  if [ "$(head -c 2 "$1" | od -An -tx1 | tr -d ' ')" = fffe ]; then
    iconv -f UTF-16LE -t UTF-8 "$1" | sed '1s/^\xef\xbb\xbf//'
  else
    iconv -f CP932 -t UTF-8 "$1"
  fi | sed 's/\r$//'
}

to_reg5 >"$work/values.reg" <<EOF
Windows Registry Editor Version 5.00

[$key]
@="既定の値"
"sz lines"=hex(1):$(hex16 'first\r\nsecond "quoted" \\ back\0')
"sz quotes"="say \\"hi\\" to C:\\\\dir"
"expand"=hex(2):$(hex16 '%SystemRoot%\\system32\0')
"multi"=hex(7):$(hex16 'one\0\0three\0\0')
"dword"=dword:0000002a
"dword big"=hex(4):01,02,03,04,05,06
"qword"=hex(b):08,07,06,05,04,03,02,01
"bin 0"=hex:
"bin 1"=hex:ff
"bin 24"=hex:$(bytes 24 0)
"bin 25"=hex:$(bytes 25 100)
"bin 300"=hex:$(bytes 300 7)
"none"=hex(0):00,01
"日本語の名前"="ソフトと表示"

[$key\\日本語キー]
"x"=dword:00000001

[$key\\Sub\\Deeper]
@=""
EOF
wine regedit /S "$(win "$work/values.reg")"
# The update checker's key, so that the program registers itself.
wine reg add 'HKCU\Software\Wendlor' /f >/dev/null

# The data file: one item for the whole key, CP932 as the program keeps it.
data_file() { # name version full-restore newline-import
  printf '[Tarnwick]\r\nVersion=205\r\n\r\n[BackupItems]\r\nすべて=HKCU\\Software\\TarnwickE2E,種類のすべて,0\r\n\r\n[Settings]\r\nRegFileName=\r\nFullRestore=%s\r\nRegEditVer=%s\r\nNewLineImport=%s\r\nAddComment=1\r\nSeparate=0\r\nCreateBackup=0\r\n' \
    "$3" "$2" "$4" | iconv -f UTF-8 -t CP932 >"$work/$1.dat"
}
# Runs the program on a data file; status 8 says the backup lacks something
# (here: a string with a line break in version 5 without NewLineImport).
run_exe() { # name [expected-status]
  local status=0
  wine "$exe" -w -p "-i$(win "$work/tarnwick.ini")" "$(win "$work/$1.dat")" 2>"$work/err.txt" ||
    status=$?
  [ "$status" = "${2:-0}" ] || fail "tarnwick.exe -w $1: status $status, $(cat "$work/err.txt")"
}

# Both versions against the expected bytes. The data file's folder has a
# Japanese name, so the program must reach it with UTF-16 paths.
mkdir -p "$work/書き出し"
for version in 4 5; do
  data_file "書き出し/v$version" "$version" 1 0
  run_exe "書き出し/v$version" $((version == 5 ? 8 : 0))
  cmp -s "$work/書き出し/v$version.reg" "$expected/expected-v$version.reg" ||
    fail "version $version export differs from $expected/expected-v$version.reg (kept as $work/v$version.reg)"
  cp "$work/書き出し/v$version.reg" "$work/v$version.reg"
done

# The registration names the program file and the build number of its
# version resource; in a build without the window, a start without -w says
# so.
program_key='HKCU\Software\Wendlor\updates@tarnwick.example.invalid\Tarnwick2'
wine reg query "$program_key" /v Build | grep -q 'REG_DWORD *0x93' ||
  fail "the registration has no Build 147"
wine reg query "$program_key" /v FilePath | grep -qiF "$(win "$exe")" ||
  fail "the registration does not name $(win "$exe")"
if [ -z "${TARNWICK_HAS_WINDOW:-}" ]; then
  status=0
  wine "$exe" 2>"$work/nowindow.txt" || status=$?
  [ "$status" = 7 ] && grep -q -- '-w を指定してください' "$work/nowindow.txt" ||
    fail "a start without -w: status $status, $(cat "$work/nowindow.txt")"
fi

# The Linux program reads the same prefix's files once wineserver has
# saved them, and writes the same bytes as the Win32 store under Wine: the
# test key (before any import below changes it) and the whole of HKCR, some
# 8,000 keys. (Keys that Wine makes volatile at each start are never in
# the files, so whole roots such as HKLM differ by those.)
if [ -n "$linux" ]; then
  printf '[Tarnwick]\r\n[BackupItems]\r\nHKCR=HKCR,,0\r\n[Settings]\r\nRegEditVer=4\r\n' >"$work/書き出し/vCR.dat"
  run_exe "書き出し/vCR"
  cp "$work/書き出し/vCR.reg" "$work/vCR.reg"
  wineserver -k
  wineserver -w
  for version in 4 5 CR; do
    cp "$work/書き出し/v$version.dat" "$work/linux$version.dat"
    status=0
    "$linux" -w -p -r"$WINEPREFIX" -i"$work/tarnwick.ini" "$work/linux$version.dat" 2>/dev/null ||
      status=$?
    [ "$status" = "$([ "$version" = 5 ] && echo 8 || echo 0)" ] ||
      fail "the Linux program, version $version: status $status"
    cmp -s "$work/linux$version.reg" "$work/v$version.reg" ||
      fail "version $version: the Linux program wrote other bytes than tarnwick.exe"
  done
fi

# Round trip: each version's file, imported under a fresh key name, comes
# back with every value of the same type and bytes (compared as version 5
# exports). Version 5 keeps a string with a line break only in the hex form
# that NewLineImport chooses: the quoted form is dropped by the import.
data_file v5nl 5 0 1
run_exe v5nl
for version in 4 5; do
  source=$work/v$version.reg
  [ "$version" = 5 ] && source=$work/v5nl.reg
  from_reg "$source" | sed 's/TarnwickE2E/TarnwickBack/g' | {
    if [ "$version" = 5 ]; then to_reg5; else sed 's/$/\r/' | iconv -f UTF-8 -t CP932; fi
  } >"$work/back$version.reg"
  wine regedit /S "$(win "$work/back$version.reg")"
  # What Wine's regedit imported is what --compare reads in the file.
  wine "$exe" --compare "$(win "$work/back$version.reg")" >"$work/compare.txt" 2>&1 ||
    fail "version $version: --compare after the import: $(cat "$work/compare.txt")"
  sed 's/TarnwickE2E/TarnwickBack/' "$work/v5nl.dat" >"$work/back.dat"
  run_exe back
  want=$(from_reg "$work/v5nl.reg" | sed 's/TarnwickE2E/TarnwickBack/g')
  [ "$(from_reg "$work/back.reg")" = "$want" ] || fail "version $version did not come back as it was"
  wine reg delete 'HKCU\Software\TarnwickBack' /f >/dev/null 2>&1
done

# FullRestore: a subkey added after the backup is gone after the import.
wine reg add 'HKCU\Software\TarnwickE2E\Added' /v later /d x /f >/dev/null
wine regedit /S "$(win "$work/v5.reg")"
status=0
wine "$exe" --compare "$(win "$work/v5.reg")" >"$work/compare.txt" 2>&1 || status=$?
[ "$status" = 0 ] || fail "--compare after a FullRestore import: status $status, $(cat "$work/compare.txt")"
if wine reg query 'HKCU\Software\TarnwickE2E\Added' >/dev/null 2>&1; then
  fail "FullRestore left a subkey added after the backup"
fi

# Files Windows' own regedit wrote: imported by Wine's regedit, each must
# compare as no change, so the reader reads them as a real importer does.
for file in "$(dirname "$0")"/../data/windows-regedit/*.reg; do
  wine reg delete 'HKCU\Software\Wine\regedit_test' /f >/dev/null 2>&1 || true
  wine regedit /S "$(win "$file")"
  status=0
  wine "$exe" --compare "$(win "$file")" >"$work/compare.txt" 2>&1 || status=$?
  [ "$status" = 0 ] || fail "Windows' $(basename "$file") after its import: status $status, $(cat "$work/compare.txt")"
done
wine reg delete 'HKCU\Software\Wine\regedit_test' /f >/dev/null 2>&1 || true

# Hostile names and data, which no importer makes: written into the prefix's
# files while wineserver is down. Both programs leave out the names with
# line breaks, keep the string whose second line is a key line in hex form,
# write '?' for the yen sign in REGEDIT4, and write the same bytes; Wine's
# regedit importing the backup creates nothing outside the backed-up key.
wineserver -k
wineserver -w
cat >>"$WINEPREFIX/user.reg" <<'EOF'
[Software\\TarnwickHostile] 1733600000
"run"="a\r\n[HKEY_CURRENT_USER\\Software\\TarnwickVictim]\r\n\"evil\"=\"1\""
"v\r\n[HKEY_CURRENT_USER\\Software\\TarnwickVictim]"="x"
"yen"="C:\\Program Files\x00a5"

[Software\\TarnwickHostile\\y\r\n\[HKEY_CURRENT_USER\\Software\\TarnwickVictim] 1733600000
"evil"="1"

EOF
for version in 4 5; do
  printf '[Tarnwick]\r\n[BackupItems]\r\nh=HKCU\\Software\\TarnwickHostile,,0\r\n[Settings]\r\nRegEditVer=%s\r\n' \
    "$version" >"$work/hostile$version.dat"
  run_exe "hostile$version" 8
  grep -qF '(サブキーも): HKEY_CURRENT_USER\Software\TarnwickHostile\y\r\n[HKEY_CURRENT_USER' \
    "$work/err.txt" || fail "version $version: the hostile key name is not reported: $(cat "$work/err.txt")"
  cp "$work/hostile$version.reg" "$work/hostile-exe$version.reg"
done
from_reg "$work/hostile4.reg" | grep -qxF '"yen"="C:\\Program Files?"' ||
  fail "REGEDIT4 did not write '?' for the yen sign"
if [ -n "$linux" ]; then
  wineserver -w
  for version in 4 5; do
    "$linux" -w -p -r"$WINEPREFIX" -i"$work/tarnwick.ini" "$work/hostile$version.dat" 2>/dev/null || true
    cmp -s "$work/hostile$version.reg" "$work/hostile-exe$version.reg" ||
      fail "hostile names, version $version: the Linux program wrote other bytes than tarnwick.exe"
  done
fi
wine regedit /S "$(win "$work/hostile-exe5.reg")"
if wine reg query 'HKCU\Software' | grep -qi TarnwickVictim; then
  fail "importing the backup of hostile names created a key outside it"
fi

if ((failures)); then
  mkdir -p "${E2E_KEEP:-/tmp/tarnwick-wine-e2e}"
  cp "$work"/*.reg "${E2E_KEEP:-/tmp/tarnwick-wine-e2e}/"
  echo "$failures failure(s); the REG files are in ${E2E_KEEP:-/tmp/tarnwick-wine-e2e}" >&2
  exit 1
fi
echo "tarnwick.exe end to end under Wine: all passed"
