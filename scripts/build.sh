#!/usr/bin/env bash
# Installs what is missing from Debian's packages, builds, and then either
# runs the example export (demo), every test (test) or makes the Debian
# package (package).
#   scripts/build.sh demo     batch-export the example data file from the example
#                             Wine prefix and show the REG file it wrote
#   scripts/build.sh test     build and run the whole test suite, also under
#                             AddressSanitizer and UndefinedBehaviorSanitizer,
#                             and the Windows build's tests under Wine; then
#                             make the Debian package and check it
#   scripts/build.sh package  make tarnwick_<version>_amd64.deb in the build
#                             folder (build-release/) and check it: lintian,
#                             the desktop entry, the AppStream metainfo, the
#                             systemd units, and a batch export run from the
#                             unpacked package
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
# The Debian package: cpack's dependency list (dpkg-shlibdeps, file) and the
# checkers of what goes into it (systemd-analyze is in systemd).
package_packages=(dpkg-dev file lintian desktop-file-utils appstream systemd)
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
case "$mode" in
  test | package) install_missing --no-install-recommends -- "${package_packages[@]}" ;;
esac
# The dates in the package (changelog, AppStream release) are the last
# commit's, so that the same sources make the same package.
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || date +%s)}
export SOURCE_DATE_EPOCH

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

# Makes the Debian package in the configured build folder and checks it.
package() { # build-dir
  local dir=$1 log
  ninja -C "$dir" -j "$(nproc)" tarnwick tarnwick-regexport linux_package_files
  rm -f "$dir"/tarnwick_*.deb
  log=$(mktemp)
  if ! (cd "$dir" && cpack -G DEB) >"$log" 2>&1; then
    cat "$log" >&2
    rm -f "$log"
    exit 1
  fi
  rm -f "$log"
  check_package "$dir" "$dir"/tarnwick_*_amd64.deb
}

# The package's checks, in a subshell of their own so that its temporary
# root goes however they end; the first that fails fails the script.
check_package() ( # build-dir deb
  dir=$1 deb=$2
  echo "Checking $deb"
  # Warnings fail too; what is left is explained in the package's overrides.
  lintian --allow-root --fail-on error,warning "$deb"
  root=$(mktemp -d)
  trap 'rm -rf "$root"' EXIT
  dpkg-deb -x "$deb" "$root"
  # Hints left out: Utility and System are both main categories on purpose.
  desktop-file-validate --no-hints "$root/usr/share/applications/tarnwick.desktop"
  # Shown when it fails; on success it only notes that the ID's top-level
  # domain, the reserved .invalid, is not one it knows.
  out=$(appstreamcli validate --no-net "$root"/usr/share/metainfo/*.metainfo.xml 2>&1) ||
    { echo "$out" >&2; exit 1; }
  # The units of one instance, their program the unpacked one; systemd
  # names a key it does not know without failing, so any output fails.
  mkdir "$root/units"
  unit=$root/units/tarnwick-backup@$(systemd-escape --path "$root/example.dat")
  sed "s|/usr/bin/|$root/usr/bin/|" "$root/usr/lib/systemd/user/tarnwick-backup@.service" \
    >"$unit.service"
  cp "$root/usr/lib/systemd/user/tarnwick-backup@.timer" "$unit.timer"
  out=$(systemd-analyze verify --man=no "$unit.timer" "$unit.service" 2>&1)
  [ -z "$out" ] || { echo "$out" >&2; exit 1; }
  "$root/usr/bin/tarnwick" --version
  [ -f "$root/usr/share/tarnwick/help/index.html" ]
  # The demo's export run as the service runs it (%f is the data file)
  # must write what the build's program writes.
  export WINEPREFIX=$PWD/examples/wine-prefix
  cp examples/example.dat "$root/example.dat"
  cp examples/example.dat "$dir/package-check.dat"
  command=$(sed -n 's/^ExecStart=//p' "$unit.service")
  # Split into words as systemd splits it: the line has no quotes.
  # shellcheck disable=SC2086
  env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM ${command//%f/$root/example.dat} 2>/dev/null
  "$dir/tarnwick" -w -p+ "$dir/package-check.dat" 2>/dev/null
  cmp "$root/example.reg" "$dir/package-check.reg"
  echo "Package checks passed"
)

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
    package "$build"
    ;;
  package)
    configure "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
    package "$build"
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
    echo "usage: $0 demo|test|package|windows|qt-windows" >&2
    exit 2
    ;;
esac
