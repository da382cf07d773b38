#!/usr/bin/env bash
# Builds a static Qt for 64-bit Windows (Core, Gui, Widgets, Test, the
# Windows platform plugin and the Windows Vista style) with MinGW-w64 from
# Debian's own qt6-base source, at the version of the installed host tools,
# and prints the folder it is installed in. The folder lives in the user's
# cache, named after the version and a hash of everything that shapes the
# build, so a machine builds it once and reuses it afterwards. Beside Qt it
# keeps the licence texts a program linking it must carry (share/notices/).
#   scripts/qt_windows.sh              build unless present; print the folder
#   scripts/qt_windows.sh --installed  print the folder, or fail when absent
#
# Needs: qt6-base-dev-tools (moc, rcc and uic run on the build machine),
# g++-mingw-w64-x86-64-posix, cmake, ninja-build, dpkg-dev, and apt
# sources with Debian's main archive. Nothing under /etc is changed: the source
# entries are copied with Types: deb-src into a private apt state.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
toolchain=$root/cmake/mingw-w64-x86_64.cmake
source_version=$(dpkg-query -W -f='${source:Version}' qt6-base-dev-tools)
upstream=${source_version%%[+-]*}

# Qt's third-party libraries are its bundled copies (no Windows builds of
# Debian's exist). Modules and features the program does not use are left
# out, which keeps a cold build near half an hour on two cores: the text
# shaper (Japanese needs none), the PDF writer, and widgets no window here
# has. The tablet feature needs wintab.h, which Debian's repacked source does
# not ship.
options=(
  -DCMAKE_BUILD_TYPE=Release
  -DBUILD_SHARED_LIBS=OFF
  -DQT_QMAKE_TARGET_MKSPEC=win32-g++
  -DQT_HOST_PATH=/usr
  -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
  -DQT_BUILD_EXAMPLES=OFF
  -DQT_BUILD_TESTS=OFF
  -DFEATURE_icu=OFF
  -DFEATURE_system_doubleconversion=OFF
  -DFEATURE_system_freetype=OFF
  -DFEATURE_system_harfbuzz=OFF
  -DFEATURE_system_jpeg=OFF
  -DFEATURE_system_libb2=OFF
  -DFEATURE_system_pcre2=OFF
  -DFEATURE_system_png=OFF
  -DFEATURE_system_textmarkdownreader=OFF
  -DFEATURE_system_zlib=OFF
  -DFEATURE_androiddeployqt=OFF
  -DFEATURE_concurrent=OFF
  -DFEATURE_dbus=OFF
  -DFEATURE_direct2d=OFF
  -DFEATURE_directwrite3=OFF
  -DFEATURE_freetype=OFF
  -DFEATURE_gif=OFF
  -DFEATURE_harfbuzz=OFF
  -DFEATURE_jpeg=OFF
  -DFEATURE_movie=OFF
  -DFEATURE_network=OFF
  -DINPUT_opengl=no
  -DFEATURE_dynamicgl=OFF
  -DFEATURE_opengl=OFF
  -DFEATURE_pdf=OFF
  -DFEATURE_printsupport=OFF
  -DFEATURE_sql=OFF
  -DFEATURE_systemtrayicon=OFF
  -DFEATURE_tabletevent=OFF
  -DFEATURE_textmarkdownreader=OFF
  -DFEATURE_textmarkdownwriter=OFF
  -DFEATURE_textodfwriter=OFF
  -DFEATURE_undocommand=OFF
  -DFEATURE_undogroup=OFF
  -DFEATURE_undostack=OFF
  -DFEATURE_vulkan=OFF
  -DFEATURE_xml=OFF
  -DFEATURE_zstd=OFF
  -DFEATURE_calendarwidget=OFF
  -DFEATURE_colordialog=OFF
  -DFEATURE_columnview=OFF
  -DFEATURE_commandlinkbutton=OFF
  -DFEATURE_datawidgetmapper=OFF
  -DFEATURE_datetimeedit=OFF
  -DFEATURE_dial=OFF
  -DFEATURE_dockwidget=OFF
  -DFEATURE_errormessage=OFF
  -DFEATURE_fontcombobox=OFF
  -DFEATURE_fontdialog=OFF
  -DFEATURE_graphicsview=OFF
  -DFEATURE_keysequenceedit=OFF
  -DFEATURE_lcdnumber=OFF
  -DFEATURE_mdiarea=OFF
  -DFEATURE_splashscreen=OFF
  -DFEATURE_syntaxhighlighter=OFF
  -DFEATURE_toolbox=OFF
  -DFEATURE_undoview=OFF
  -DFEATURE_wizard=OFF
)
key=$(
  {
    echo "$source_version"
    printf '%s\n' "${options[@]}"
    x86_64-w64-mingw32-g++-posix -dumpfullversion
    cat "$toolchain"
  } | sha256sum | cut -c1-12
)
cache=${XDG_CACHE_HOME:-$HOME/.cache}/tarnwick
prefix=$cache/qt-$upstream-mingw-static-$key
built() { [ -f "$prefix/lib/cmake/Qt6/Qt6Config.cmake" ]; }
noticed() { [ -f "$prefix/share/notices/QT-THIRD-PARTY.txt" ]; }
if built && noticed; then
  echo "$prefix"
  exit 0
fi
[ "${1:-}" != --installed ] || exit 1

work=$cache/work
rm -rf "$work" "$prefix.partial"
mkdir -p "$work/apt/lists/partial" "$work/apt/parts" "$work/download"
# Kept after a failure, for its log.
trap '[ $? -ne 0 ] || rm -rf "$work"' EXIT

# Debian's source entries, from the binary ones the machine already has.
for f in /etc/apt/sources.list.d/*.sources; do
  [ -f "$f" ] || continue
  awk 'BEGIN { RS = ""; ORS = "\n\n" } /(^|\n)Types:([^\n]*[ \t])?deb([ \t\n]|$)/ {
         sub(/(^|\n)Types:[^\n]*/, "\nTypes: deb-src"); print }' "$f"
done >"$work/apt/parts/deb-src.sources"
grep -hE '^deb\s' /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null |
  sed 's/^deb\s/deb-src /' >"$work/apt/sources.list" || true
apt_options=(-o "Dir::Etc::SourceList=$work/apt/sources.list" -o "Dir::Etc::SourceParts=$work/apt/parts"
  -o "Dir::State::Lists=$work/apt/lists" -o Debug::NoLocking=1 -qq)
# apt's download user cannot write into the caller's cache.
[ "$(id -u)" -ne 0 ] || apt_options+=(-o APT::Sandbox::User=root)
apt-get "${apt_options[@]}" update >&2
(cd "$work/download" && apt-get "${apt_options[@]}" source --download-only "qt6-base=$source_version" >&2)
log=$work/build.log
# With Debian's patches applied: the security fixes are among them.
dpkg-source --no-check -x "$work"/download/qt6-base_*.dsc "$work/src" >"$log" 2>&1

# The licences of Qt and of the third-party code in what is built: Qt's own
# (LGPL-3.0, which refers to the GPL-3.0) and each bundled component's
# attribution with the licence files it names.
notices() { # destination
  mkdir -p "$1"
  cp "$work/src/LICENSES/LGPL-3.0-only.txt" "$work/src/LICENSES/GPL-3.0-only.txt" "$1/"
  echo "$source_version" >"$1/SOURCE"
  {
    echo "Qt $upstream (qtbase), built from Debian's source package qt6-base $source_version"
    echo "(apt-get source qt6-base=$source_version; upstream: https://download.qt.io/)."
    echo "Third-party code in the parts of it that are linked, with its licences:"
    local dir file
    for dir in corelib/text corelib/tools gui/painting 3rdparty/blake2 3rdparty/double-conversion \
      3rdparty/easing 3rdparty/icc 3rdparty/libpng 3rdparty/md5 3rdparty/pcre2 3rdparty/rfc6234 \
      3rdparty/sha1 3rdparty/sha3 3rdparty/tinycbor 3rdparty/zlib; do
      printf '\n===== src/%s/qt_attribution.json\n' "$dir"
      cat "$work/src/src/$dir/qt_attribution.json"
      { grep -o '"LicenseFile": *"[^"]*"' "$work/src/src/$dir/qt_attribution.json" || true; } |
        sed 's/.*"\([^"]*\)"$/\1/' | sort -u | while read -r file; do
        printf '\n----- %s\n' "$file"
        cat "$work/src/src/$dir/$file"
      done
    done
  } >"$1/QT-THIRD-PARTY.txt"
}
if built; then
  notices "$prefix/share/notices"
  echo "$prefix"
  exit 0
fi

echo "Building Qt $upstream for Windows into $prefix (once per machine)" >&2
cmake -S "$work/src" -B "$work/build" -G Ninja -Wno-dev \
  -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_INSTALL_PREFIX="$prefix.partial" \
  "${options[@]}" >>"$log" 2>&1 || {
  tail -40 "$log" >&2
  exit 1
}
# Every hundredth step is shown, so that a long build is seen to move. (No
# ccache: with Qt's precompiled headers it can hand back objects built with
# other features.)
if ! ninja -C "$work/build" -j "$(nproc)" 2>&1 | tee -a "$log" |
  awk '/^\[[0-9]+\/[0-9]+\]/ { if (++n % 100 == 0) { print "Qt: " $1; fflush() } }' >&2; then
  grep -A20 -m2 '^FAILED:' "$log" >&2 || tail -40 "$log" >&2
  echo "The whole log: $log" >&2
  exit 1
fi
cmake --install "$work/build" >>"$log" 2>&1
notices "$prefix.partial/share/notices"
mv "$prefix.partial" "$prefix"
echo "$prefix"
