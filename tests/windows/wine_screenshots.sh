#!/usr/bin/env bash
# Renders every window of the Windows build under Wine into PNG files, as
# `ninja screenshots` does on Linux. The example items' keys are put into the
# Wine registry first: the Linux program exports them from the example
# prefix, and Wine's regedit imports that file. A display of our own when
# there is none.
#   wine_screenshots.sh TARNWICK_SCREENSHOTS_EXE LINUX_TARNWICK OUTPUT_FOLDER
set -euo pipefail

shots=$1
linux=$2
out=$3
examples=$(cd "$(dirname "$0")/../../examples" && pwd)
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" "$0" "$@"
fi
work=$(mktemp -d)
trap 'WINEPREFIX=$work/prefix wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT
export WINEDEBUG=-all WINEPREFIX=$work/prefix WINEDLLOVERRIDES="mscoree,mshtml="
wineboot -i >/dev/null 2>&1

cp "$examples/example.dat" "$work/example.dat"
printf '[Settings]\nRegEditVer=5\nSeparate=0\nRegFileName=\n' >"$work/x.ini"
status=0
"$linux" -w -p -r"$examples/wine-prefix" -i"$work/x.ini" "$work/example.dat" 2>/dev/null || status=$?
[ "$status" = 0 ] || [ "$status" = 8 ] || { echo "the example export failed: $status" >&2; exit 1; }
LANG=ja_JP.UTF-8 wine regedit /S "$(winepath -w "$work/example.reg")"
mkdir -p "$out"
wine "$shots" "$(winepath -w "$out")"
