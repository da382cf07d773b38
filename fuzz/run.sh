#!/bin/sh
# Builds a fuzz target with clang in build-fuzz and runs it, in one process,
# for the given number of seconds.
#   fuzz/run.sh [target] [seconds]     (defaults: wine_reg_parser_fuzz 60)
# New inputs go to fuzz/corpus-<target>, crashes to build-fuzz/artifacts/.
set -eu
cd "$(dirname "$0")/.."
target=${1:-wine_reg_parser_fuzz}
seconds=${2:-60}
build=build-fuzz

CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTARNWICK_FUZZ=ON -DTARNWICK_TESTS=OFF >/dev/null
ninja -C "$build" -j2 "$target"

corpus=fuzz/corpus-$target
seeds=fuzz/corpus-$target-seeds
mkdir -p "$corpus" "$build/artifacts"
rm -rf "$seeds"
mkdir -p "$seeds"

# Seeds: the registry files of a fresh prefix cut into pieces of a few KB at
# key lines, each starting with the header line, plus the hand-written files.
split_registry() {
  awk -v out="$seeds/$(basename "$1" .reg)" '
    NR == 1 { header = $0; chunk = $0 "\n"; next }
    /^\[/ && length(chunk) > 4096 {
      printf "%s", chunk > (out "-" n ".reg"); close(out "-" n ".reg"); n++
      chunk = header "\n"
    }
    { chunk = chunk $0 "\n" }
    END { printf "%s", chunk > (out "-" n ".reg") }' "$1"
}
case $target in
  wine_reg_parser_fuzz)
    for file in tests/data/wine8-fresh-prefix/*.reg; do split_registry "$file"; done
    cp tests/data/wine/* "$seeds/"
    ;;
  ini_file_fuzz) cp fuzz/seeds-ini/* "$seeds/" ;;  # example.dat among them
  comma_text_fuzz) cp fuzz/seeds-comma/* "$seeds/" ;;
  hive_file_fuzz) cp fuzz/seeds-hive/* tests/data/hives/* "$seeds/" ;;
  reg_reader_fuzz) cp fuzz/seeds-reg/* tests/data/wine-regedit/*.reg tests/data/windows-regedit/*.reg "$seeds/" ;;
esac

set -- -max_len=65536 -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
  -artifact_prefix="$build/artifacts/"
if [ -f "fuzz/$target.dict" ]; then set -- "$@" -dict="fuzz/$target.dict"; fi
UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 exec "$build/fuzz/$target" "$@" "$corpus" "$seeds"
