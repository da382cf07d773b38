#!/usr/bin/env bash
# Times the whole program: `tarnwick -w -p` over a data file that names the
# synthetic 50,000-key tree, as a scheduled task would run it, next to dd
# writing the same number of bytes in 1 KiB and in 1 MiB blocks. Prints the
# median wall time of each, their ratios, MB/s of REG output and the peak
# memory. With BASELINE, another tarnwick binary (an older build) is timed in
# the same rounds, so the two can be compared on a noisy machine.
#   bench/run_batch_export.sh [RUNS=5] [KEYS=50000] [BASELINE]
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}
keys=${2:-50000}
baseline=${3:-}
build=build-bench

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARNWICK_BENCH=ON \
  -DTARNWICK_TESTS=OFF >/dev/null
ninja -C "$build" -j2 tarnwick make_wine_registry >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/bench/make_wine_registry" "$work/prefix" "$keys" >/dev/null
printf '[Tarnwick]\r\nVersion=205\r\n\r\n[BackupItems]\r\nBench=HKCU\\Software\\Bench,,0\r\n\r\n[Settings]\r\nRegEditVer=5\r\n\r\n' \
  >"$work/bench.dat"

# Prints the wall time of one run of the command, and keeps its peak memory.
timed() {
  /usr/bin/time -f '%e %M' -o "$work/time" "$@"
  read -r seconds kb <"$work/time"
  echo "$seconds"
  echo "$kb" >"$work/kb"
}

export_once() { # binary
  rm -f "$work/bench.reg"  # each run starts from the same state
  XDG_RUNTIME_DIR=$work timed "$1" -w -p -i"$work/bench.ini" -r"$work/prefix" "$work/bench.dat"
}

median() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

export_once "$build/tarnwick" >/dev/null  # warm-up
output=$(stat -c %s "$work/bench.reg")
new=() old=() dd1k=() dd1m=() peak=0
for ((i = 0; i < runs; i++)); do
  new+=("$(export_once "$build/tarnwick")")
  kb=$(cat "$work/kb")
  ((kb > peak)) && peak=$kb
  [ -n "$baseline" ] && old+=("$(export_once "$baseline")")
  dd1k+=("$(timed dd if=/dev/zero of="$work/dd.out" bs=1k count=$((output / 1024)) status=none)")
  dd1m+=("$(timed dd if=/dev/zero of="$work/dd.out" bs=1M iflag=count_bytes count="$output" status=none)")
done
input=$(stat -c %s "$work/prefix/user.reg")
t=$(median "${new[@]}")
k=$(median "${dd1k[@]}")
m=$(median "${dd1m[@]}")
echo "tarnwick -w -p, $keys keys, $runs runs; registry $((input / 1000000)) MB in, REG file $((output / 1000000)) MB out"
echo "  tarnwick:   ${new[*]}"
[ -n "$baseline" ] && echo "  baseline:   ${old[*]}"
echo "  dd bs=1k:   ${dd1k[*]}"
echo "  dd bs=1M:   ${dd1m[*]}"
awk -v t="$t" -v k="$k" -v m="$m" -v out="$output" -v kb="$peak" 'BEGIN {
  printf "  median %.3f s (%.0f MB/s of REG output); peak memory (max RSS) %.0f MB\n", t, out / 1e6 / t, kb / 1024
  printf "  over dd bs=1k (%.3f s): %.2fx   over dd bs=1M (%.3f s): %.2fx\n", k, t / k, m, t / m
}'
if [ -n "$baseline" ]; then
  b=$(median "${old[@]}")
  awk -v t="$t" -v b="$b" 'BEGIN { printf "  baseline median %.3f s: %.2fx as fast\n", b, b / t }'
fi
