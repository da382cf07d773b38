#!/usr/bin/env bash
# Installs what is missing from Debian's packages, builds, and then either
# runs the example export (demo) or every test (test).
#   scripts/build.sh demo     batch-export the example data file from the example
#                             Wine prefix and show the REG file it wrote
#   scripts/build.sh test     build and run the whole test suite, also under
#                             AddressSanitizer and UndefinedBehaviorSanitizer,
#                             and the Windows build's tests under Wine
#   scripts/build.sh windows  cross-compile tarnwick.exe and its tests into
#                             build-windows/ and run the tests under Wine; with
#                             the window and the zip when Qt for Windows is built
#   scripts/build.sh qt-windows
#                             build Qt for Windows from Debian's source, once
#                             per machine (scripts/qt_windows.sh); test does it
#                             when it is missing
set -euo pipefail

cd "$(dirname "$0")/.."
mode=${1:-demo}
build=${BUILD_DIR:-build-release}

packages=(cmake ninja-build g++ pkg-config libicu-dev libgtest-dev ccache qt6-base-dev libhivex-dev
  fonts-ipafont-gothic xvfb xdotool)
# The Windows build: the cross compiler, GoogleTest's sources, Wine to run
# the results, and the Japanese locale in which Wine reads REGEDIT4 files.
# Qt for Windows is built from Debian's qt6-base source (dpkg-dev unpacks it).
windows_packages=(g++-mingw-w64-x86-64-posix googletest wine wine64 locales dpkg-dev)
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
updated=""
install_missing() { # apt-get options..., --, packages...
  local options=() missing=() p
  while [ "$1" != -- ]; do options+=("$1"); shift; done
  shift
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  ((${#missing[@]})) || return 0
  echo "Installing: ${missing[*]}"
  [ -n "$updated" ] || $sudo apt-get update -qq
  updated=1
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${options[@]}" "${missing[@]}" >/dev/null
}
install_missing -- "${packages[@]}"
case "$mode" in
  # Wine without what it only recommends (a 32-bit half, fonts, sound).
  test | windows | qt-windows) install_missing --no-install-recommends -- "${windows_packages[@]}" ;;
esac

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

# Cross-compiles for Windows and runs those tests under Wine, in one fresh
# Wine prefix for the whole run. The Linux program, when given, is checked
# against tarnwick.exe on that prefix. With Qt for Windows (the folder given)
# the program has its window, whose tests run under Xvfb, and the zip is made.
windows_tests() { # linux-program qt-folder (either may be empty)
  if ! locale -a | grep -qi '^ja_JP\.utf-\?8$'; then
    grep -qx 'ja_JP.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null ||
      echo 'ja_JP.UTF-8 UTF-8' | $sudo tee -a /etc/locale.gen >/dev/null
    $sudo locale-gen >/dev/null
  fi
  local toolchain=(-DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake")
  [ -z "$2" ] || toolchain=(-DCMAKE_TOOLCHAIN_FILE="$2/lib/cmake/Qt6/qt.toolchain.cmake"
    -DQT_CHAINLOAD_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake")
  configure build-windows -DCMAKE_BUILD_TYPE=RelWithDebInfo "${toolchain[@]}" \
    -DTARNWICK_LINUX_PROGRAM="$1"
  ninja -C build-windows -j "$(nproc)"
  if [ -z "$2" ]; then
    # The window's sources with the Windows compiler against Debian's Qt
    # headers: a compile check only, since linking needs Qt for Windows.
    echo "Compiling the window's sources for Windows (check only: no Qt for Windows)"
    ls src/ui/*.cpp src/app/main.cpp | xargs -P "$(nproc)" -I{} x86_64-w64-mingw32-g++-posix \
      -fsyntax-only -std=c++20 -Wall -Wextra -Werror -Wno-attributes -DTARNWICK_WINDOW \
      -DTARNWICK_VERSION='"0"' -DTARNWICK_BUILD=0 -Isrc -Isrc/core \
      $(pkg-config --cflags-only-I Qt6Widgets) {}
  fi
  local prefix
  prefix=$(mktemp -d)
  # Wine's windows need an X server: one of our own for the run. Wine is
  # told not to offer downloads of Mono and Gecko, which nothing here needs.
  export WINEPREFIX=$prefix/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" bash -c '
    wineboot -i >/dev/null 2>&1
    status=0
    ctest --test-dir build-windows --output-on-failure || status=$?
    wineserver -k 2>/dev/null || true
    exit $status'
  unset WINEPREFIX WINEDEBUG WINEDLLOVERRIDES
  rm -rf "$prefix"
}

# The folder of Qt for Windows: built when missing (build), else only if
# present (find).
qt_windows() { # build|find
  if [ "$1" = find ]; then
    scripts/qt_windows.sh --installed 2>/dev/null || true
  else
    scripts/qt_windows.sh
  fi
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
    qt=$(qt_windows build)
    windows_tests "$(cd "$build" && pwd)/tarnwick" "$qt"
    asan=${build}-asan
    configure "$asan" -DCMAKE_BUILD_TYPE=Debug \
      -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
    ninja -C "$asan" -j "$(nproc)" tarnwick_core_tests tarnwick tarnwick_e2e_tests tarnwick_ui_tests
    ctest --test-dir "$asan" --output-on-failure -j "$(nproc)"
    ;;
  windows)
    linux=""
    [ -x "$build/tarnwick" ] && linux="$(cd "$build" && pwd)/tarnwick"
    qt=$(qt_windows find)
    windows_tests "$linux" "$qt"
    ;;
  qt-windows)
    qt_windows build
    ;;
  *)
    echo "usage: $0 demo|test|windows|qt-windows" >&2
    exit 2
    ;;
esac
