#!/usr/bin/env bash
# Times Wine's own "regedit /E" on the synthetic key tree and export_bench on
# the same registry files, in one run, so that the two figures compare side by
# side. Not part of CI: it needs Wine and ~0.8 GB of disk for a fresh prefix.
#
#   bench/run_wine_regedit.sh [--install] [--keys N] [--runs N] [--build DIR] [--keep]
#
#   --install   apt-get install -y wine first (Debian 12; ~1.7 GB)
#   --keys N    keys in the tree (default 50000)
#   --runs N    timed runs of each command (default 5); medians are printed
#   --build DIR build folder of the benchmarks (default build-bench)
#   --keep      keep the work folder (prefix, outputs) and print its path
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
keys=50000
runs=5
build=$root/build-bench
install=0
keep=0
while (($#)); do
  case $1 in
    --install) install=1 ;;
    --keys) keys=$2; shift ;;
    --runs) runs=$2; shift ;;
    --build) build=$2; shift ;;
    --keep) keep=1 ;;
    *) sed -n '2,13p' "$0" >&2; exit 2 ;;
  esac
  shift
done

if ((install)); then
  echo "== installing wine (apt-get)"
  start=$(date +%s)
  apt-get update -q
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q wine
  echo "installed in $(($(date +%s) - start)) s"
fi
for tool in wine wineboot wineserver; do
  if ! command -v "$tool" >/dev/null; then
    echo "$tool not found: install Debian's wine package, or run with --install" >&2
    exit 1
  fi
done

echo "== building export_bench and make_wine_registry in $build"
if [[ ! -f $build/build.ninja ]]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARNWICK_BENCH=ON \
    -DTARNWICK_TESTS=OFF >/dev/null
fi
ninja -C "$build" -j2 export_bench make_wine_registry >/dev/null

work=$(mktemp -d "${TMPDIR:-/tmp}/tarnwick-wine-XXXXXX")
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml="
cleanup() {
  # Ends only this prefix's server (and its programs).
  if [[ -d $WINEPREFIX ]]; then wineserver -k 2>/dev/null || true; fi
  if ((keep)); then echo "kept $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT

now() { date +%s.%N; }
# Median of the numbers on standard input.
median() { sort -g | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }
# Times a command RUNS times; prints one duration a line.
time_runs() {
  local i t0
  for ((i = 0; i < runs; i++)); do
    t0=$(now)
    "$@" >/dev/null 2>&1
    awk -v a="$t0" -v b="$(now)" 'BEGIN {printf "%.4f\n", b - a}'
  done
}
# The sections of a Wine registry file whose key lies below Software\Bench.
bench_sections() { awk -v RS= 'index($0, "[Software\\\\Bench\\\\") == 1 {print; print ""}' "$1"; }

echo "== creating a fresh Wine prefix in $WINEPREFIX"
t0=$(now)
wineboot -i >/dev/null 2>&1
wineserver -w
awk -v a="$t0" -v b="$(now)" 'BEGIN {printf "wineboot -i + wineserver -w: %.1f s\n", b - a}'

echo "== adding $keys synthetic keys to user.reg (no server runs now)"
"$build/bench/make_wine_registry" "$work/generated" "$keys"
# Everything after the 4 header lines: one blank line and key sections each.
tail -n +5 "$work/generated/user.reg" >>"$WINEPREFIX/user.reg"
ls -l "$WINEPREFIX"/*.reg

echo "== wine regedit, server kept running between runs (wineserver -p)"
t0=$(now)
wineserver -p
# The first command starts the server, which loads the registry. The added key
# marks user.reg changed, so the server rewrites it when it exits.
wine reg add 'HKCU\Software\BenchTouched' /f >/dev/null 2>&1
first=$(awk -v a="$t0" -v b="$(now)" 'BEGIN {printf "%.2f", b - a}')
echo "first command (server start, registry load, reg add): $first s"

wine regedit /E "$work/warm.reg" 'HKEY_CURRENT_USER\Software\Bench' >/dev/null 2>&1
small=$(time_runs wine regedit /E "$work/small.reg" 'HKEY_CURRENT_USER\Software\Bench\G000\Item00001' | median)
full_times=$(time_runs wine regedit /E "$work/wine.reg" 'HKEY_CURRENT_USER\Software\Bench')
full=$(echo "$full_times" | median)
full_min=$(echo "$full_times" | sort -g | head -1)
if [[ ! -s $work/wine.reg ]]; then
  echo "wine regedit /E wrote no file; run it by hand with WINEDEBUG= to see why" >&2
  exit 1
fi
wine_bytes=$(stat -c %s "$work/wine.reg")
wineserver -k
wineserver -w 2>/dev/null || true

echo "== export_bench on the same prefix files"
"$build/bench/export_bench" --prefix "$WINEPREFIX" --repeat "$runs" --keep-output "$work/ours" |
  tee "$work/export_bench.txt"
ours=$(awk '/export v5 \(UTF-16LE\)/ {print $4}' "$work/export_bench.txt")
ours_load=$(awk '/load \(new process\)/ {print $4}' "$work/export_bench.txt")
ours_bytes=$(stat -c %s "$work/ours/export-v5.reg")

echo
echo "== summary: HKEY_CURRENT_USER\\Software\\Bench, $keys keys, medians of $runs runs, MB = 10^6 bytes"
echo "wine regedit /E runs (s): $(tr "\n" " " <<<"$full_times")"
awk -v t="$full" -v m="$full_min" -v s="$small" -v b="$wine_bytes" 'BEGIN {
  printf "wine regedit /E:          %8.3f s  %7.1f MB/s of output (%d bytes)\n", t, b / 1e6 / t, b
  printf "  fastest run:            %8.3f s  %7.1f MB/s\n", m, b / 1e6 / m
  printf "  minus process start:    %8.3f s  %7.1f MB/s (start = regedit /E of one small key, %.3f s)\n",
         t - s, b / 1e6 / (t - s), s }'
awk -v t="$ours" -v b="$ours_bytes" -v w="$full" -v s="$small" 'BEGIN {
  printf "export_bench v5 export:   %8.3f s  %7.1f MB/s of output (%d bytes)\n", t, b / 1e6 / t, b
  printf "ratio, export_bench MB/s / wine regedit MB/s: %.1f (%.1f against regedit minus start)\n",
         w / t, (w - s) / t }'
echo "loading: wineserver first command $first s; export_bench load of the same files $ours_load s"

if cmp -s "$work/wine.reg" "$work/ours/export-v5.reg"; then
  echo "outputs: export_bench's v5 file is byte-identical to wine regedit's"
else
  echo "outputs differ: $(cmp "$work/wine.reg" "$work/ours/export-v5.reg" 2>&1 | head -1)"
fi
# wineserver rewrote user.reg on exit; its Software\Bench sections should be
# exactly what the generator wrote.
if cmp -s <(bench_sections "$work/generated/user.reg") <(bench_sections "$WINEPREFIX/user.reg"); then
  echo "generator: wineserver rewrote the Software\\Bench sections byte for byte as generated"
else
  echo "generator: wineserver's rewrite of Software\\Bench differs from the generated text:"
  diff <(bench_sections "$work/generated/user.reg") <(bench_sections "$WINEPREFIX/user.reg") |
    head -20 || true
fi
