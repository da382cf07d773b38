#!/usr/bin/env bash
# Installs what is missing from Debian's packages, builds, and then either
# runs the example export (demo) or every test (test).
#   scripts/build.sh demo   export the bundled example registry and show the REG file
#   scripts/build.sh test   build and run the whole test suite, also under
#                           AddressSanitizer and UndefinedBehaviorSanitizer
set -euo pipefail

cd "$(dirname "$0")/.."
mode=${1:-demo}
build=${BUILD_DIR:-build-release}

packages=(cmake ninja-build g++ pkg-config libicu-dev libgtest-dev)
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

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
ninja -C "$build" -j "$(nproc)"

case "$mode" in
  demo)
    out="$build/example.reg"
    "$build/tarnwick-regexport" -r examples/wine-prefix -f -c -o "$out" \
      'HKCU\Software\ExampleSoft' 'HKLM\Software\ExampleSoft|InstallDir'
    echo "--- $out (UTF-16LE, shown as UTF-8) ---"
    iconv -f UTF-16 -t UTF-8 "$out" | tr -d '\r'
    ;;
  test)
    ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
    asan=${build}-asan
    cmake -S . -B "$asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
      -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer" \
      >/dev/null
    ninja -C "$asan" -j "$(nproc)" tarnwick_core_tests
    ctest --test-dir "$asan" --output-on-failure -j "$(nproc)"
    ;;
  *)
    echo "usage: $0 demo|test" >&2
    exit 2
    ;;
esac
