#!/usr/bin/env bash
# Installs what is missing from Debian's packages, builds, and then either
# runs the example export (demo) or every test (test).
#   scripts/build.sh demo   batch-export the example data file from the example
#                           Wine prefix and show the REG file it wrote
#   scripts/build.sh test   build and run the whole test suite, also under
#                           AddressSanitizer and UndefinedBehaviorSanitizer
set -euo pipefail

cd "$(dirname "$0")/.."
mode=${1:-demo}
build=${BUILD_DIR:-build-release}

packages=(cmake ninja-build g++ pkg-config libicu-dev libgtest-dev ccache qt6-base-dev
  fonts-ipafont-gothic xvfb xdotool)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
fi

# The configure step's output is shown only when it fails.
configure() { # build-dir cmake-arguments...
  local dir=$1 log
  shift
  log=$(mktemp)
  if ! cmake -S . -B "$dir" -G Ninja "$@" >"$log" 2>&1; then
    cat "$log" >&2
    rm -f "$log"
    exit 1
  fi
  rm -f "$log"
}

case "$mode" in
  demo)
    # Only what the demo runs: the program, without the tests.
    configure "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
    ninja -C "$build" -j "$(nproc)" tarnwick
    # A copy of the example data file, so that the repository's stays as it
    # is; the REG file is written beside the copy.
    dir=$(cd "$build" && pwd)
    cp examples/example.dat "$dir/example.dat"
    "$dir/tarnwick" -w -p -r"$PWD/examples/wine-prefix" "$dir/example.dat"
    out="$dir/example.reg"
    echo "--- $out (UTF-16LE, shown as UTF-8) ---"
    iconv -f UTF-16 -t UTF-8 "$out" | tr -d '\r'
    ;;
  test)
    configure "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
    ninja -C "$build" -j "$(nproc)"
    ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
    asan=${build}-asan
    configure "$asan" -DCMAKE_BUILD_TYPE=Debug \
      -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
    ninja -C "$asan" -j "$(nproc)" tarnwick_core_tests tarnwick tarnwick_e2e_tests tarnwick_ui_tests
    ctest --test-dir "$asan" --output-on-failure -j "$(nproc)"
    ;;
  *)
    echo "usage: $0 demo|test" >&2
    exit 2
    ;;
esac
