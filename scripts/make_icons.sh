#!/usr/bin/env bash
# Renders src/app/icons/tarnwick.svg into the Windows icon file beside it
# (16 to 48 pixels as bitmaps, 256 as PNG) and into the PNG icons of the
# Debian package (packaging/linux/icons/). Run after changing the SVG;
# needs librsvg2-bin and icoutils.
set -euo pipefail
cd "$(dirname "$0")/.."
svg=src/app/icons/tarnwick.svg
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
for size in 16 24 32 48 256; do
  rsvg-convert -w "$size" -h "$size" "$svg" -o "$tmp/$size.png"
done
icotool -c -o src/app/icons/tarnwick.ico "$tmp"/{16,24,32,48}.png --raw="$tmp/256.png"
mkdir -p packaging/linux/icons
for size in 16 32 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" "$svg" -o "packaging/linux/icons/$size.png"
done
