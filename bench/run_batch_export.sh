#!/usr/bin/env bash
# Times the whole program: `tarnwick -w -p` over a data file that names the
# synthetic 50,000-key tree, as a scheduled task would run it. Prints the
# median wall time of the runs, MB/s of REG output and the peak memory.
#   bench/run_batch_export.sh [RUNS=5] [KEYS=50000]
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}
keys=${2:-50000}
build=build-bench

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARNWICK_BENCH=ON \
  -DTARNWICK_TESTS=OFF >/dev/null
ninja -C "$build" -j2 tarnwick make_wine_registry >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/bench/make_wine_registry" "$work/prefix" "$keys" >/dev/null
printf '[Tarnwick]\r\nVersion=205\r\n\r\n[BackupItems]\r\nBench=HKCU\\Software\\Bench,,0\r\n\r\n[Settings]\r\nRegEditVer=5\r\n\r\n' \
  >"$work/bench.dat"

times=()
peak=0
for ((i = 0; i < runs; i++)); do
  # Each run starts from the same state: no REG file from the run before.
  rm -f "$work/bench.reg"
  XDG_RUNTIME_DIR=$work /usr/bin/time -f '%e %M' -o "$work/time" \
    "$build/tarnwick" -w -p -i"$work/bench.ini" -r"$work/prefix" "$work/bench.dat"
  read -r seconds kb <"$work/time"
  times+=("$seconds")
  ((kb > peak)) && peak=$kb
done
median=$(printf '%s\n' "${times[@]}" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}')
input=$(stat -c %s "$work/prefix/user.reg")
output=$(stat -c %s "$work/bench.reg")
awk -v t="$median" -v in_="$input" -v out="$output" -v kb="$peak" -v n="$runs" -v k="$keys" 'BEGIN {
  printf "tarnwick -w -p, %d keys, %d runs: times %s\n", k, n, "'"${times[*]}"'"
  printf "  median %.3f s; registry %.1f MB in (%.0f MB/s); REG file %.1f MB out (%.0f MB/s)\n",
         t, in_ / 1e6, in_ / 1e6 / t, out / 1e6, out / 1e6 / t
  printf "  peak memory (max RSS) %.0f MB\n", kb / 1024
}'
