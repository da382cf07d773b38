#!/usr/bin/env bash
# A manual check, not part of the test suite (it needs Debian's wine): exports
# the example prefix's keys with tarnwick-regexport, imports the REG file into
# a fresh Wine prefix with Wine's regedit, exports the keys again with Wine's
# regedit, and compares that with the REG file Wine wrote from the example
# prefix directly (tests/data/wine-regedit). Identical means nothing was lost
# on the way through a real importer.
#   scripts/check_wine_import.sh [BUILD_DIR=build-release]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-release}
command -v wine >/dev/null || { echo "wine is not installed (apt-get install wine)" >&2; exit 2; }
ninja -C "$build" tarnwick-regexport >/dev/null

work=$(mktemp -d)
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml="
trap 'wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT
wineboot -i >/dev/null 2>&1
wineserver -w

# Line breaks in strings go as hex(1), the form an importer reads back.
"$build/tarnwick-regexport" -n -f -r examples/wine-prefix -o "$work/ours.reg" \
  'HKCU\Software\ExampleSoft'
(cd "$work" && wine regedit /S ours.reg && wine regedit /E back.reg 'HKEY_CURRENT_USER\Software\ExampleSoft')
wineserver -w
if cmp -s "$work/back.reg" tests/data/wine-regedit/examplesoft.reg; then
  echo "identical: Wine's regedit imported every key and value"
else
  diff <(iconv -f UTF-16 -t UTF-8 "$work/back.reg") \
    <(iconv -f UTF-16 -t UTF-8 tests/data/wine-regedit/examplesoft.reg) || true
  exit 1
fi
