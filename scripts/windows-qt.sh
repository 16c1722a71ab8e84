#!/usr/bin/env bash
# Cross-builds Qt's base module for Windows (mingw-w64) from Debian's own qt6-base source
# package, with the same version as the Linux Qt, and installs it under
# build/windows/qt/<version>/prefix. Debian ships no Qt for mingw-w64; the Linux Qt's host
# tools (moc, rcc, uic) stand in for the Windows ones through QT_HOST_PATH.
#
# Only what tavolin.exe and its tests use is built: Core, Gui, Widgets, Test, the Windows
# platform plugin and the Windows styles, with the bundled zlib, PCRE2, FreeType and
# HarfBuzz, as shared libraries. The result is cached by version: a second run with the
# same version does nothing.
#
# Usage: scripts/windows-qt.sh [--print-prefix]
#   TAVOLIN_QT_JOBS   parallel compile jobs (default 2)
#   TAVOLIN_QT_NICE   nice level of the compile (default 19, so that other builds go first)
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
qt_dir="$root/build/windows/qt"

# The Linux Qt decides the version: the same source package, the same Debian patches.
host_version=$(dpkg-query -W -f='${Version}' qt6-base-dev 2>/dev/null || true)
if [ -z "$host_version" ]; then
    echo "windows-qt: qt6-base-dev is not installed (run scripts/bootstrap.sh)" >&2
    exit 1
fi
prefix="$qt_dir/$host_version/prefix"
if [ "${1:-}" = "--print-prefix" ]; then
    echo "$prefix"
    exit 0
fi
stamp="$prefix/.tavolin-built"
if [ -f "$stamp" ]; then
    echo "windows-qt: Qt $host_version for Windows is ready in $prefix"
    exit 0
fi

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
apt_opts=(-o DPkg::Lock::Timeout=900)

packages=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
          dpkg-dev cmake ninja-build perl qt6-base-dev qt6-base-dev-tools)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "windows-qt: installing ${missing[*]}" >&2
    $SUDO env DEBIAN_FRONTEND=noninteractive apt-get "${apt_opts[@]}" install -y -qq \
        --no-install-recommends "${missing[@]}" >/dev/null
fi

# Source packages come from the same mirrors and keyring as the binary ones: a copy of the
# configured stanzas with deb-src. Written only when it differs, so repeated runs are quiet.
src_list=/etc/apt/sources.list.d/tavolin-deb-src.sources
wanted=$(sed -e 's/^Types:.*$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources)
if [ "$(cat "$src_list" 2>/dev/null)" != "$wanted" ]; then
    printf '%s\n' "$wanted" | $SUDO tee "$src_list" >/dev/null
    $SUDO apt-get "${apt_opts[@]}" update -qq >/dev/null
fi

src_parent="$qt_dir/$host_version/src"
src="$src_parent/qtbase"
if [ ! -f "$src/.tavolin-unpacked" ]; then
    rm -rf "$src_parent"
    mkdir -p "$src_parent"
    (cd "$src_parent" &&
        { apt-get source --download-only "qt6-base=$host_version" >/dev/null 2>&1 ||
          { $SUDO apt-get "${apt_opts[@]}" update -qq >/dev/null &&
            apt-get source --download-only "qt6-base=$host_version" >/dev/null; }; } &&
        dpkg-source -x qt6-base_*.dsc qtbase >/dev/null)
    touch "$src/.tavolin-unpacked"
fi

# Two gaps of Debian's source for a Windows build, filled in place (again on every run, so a
# resumed build finds them too):
# - Debian leaves out the Wintab headers (their licence forbids changes), which the Windows
#   platform plugin needs for its Wintab tablet support alone. The plugin is built without it:
#   pens still work as mice, and nothing else in Qt depends on it.
# - Qt 6.4 compiles the DirectWrite font database into Gui only with Direct2D, but the plugin
#   refers to it whenever DirectWrite 3 is there: without Direct2D it does not link. The
#   reference (an opt-in font engine, "-platform windows:fontengine=directwrite") is left out.
plugin="$src/src/plugins/platforms/windows"
if [ ! -d "$src/src/3rdparty/wintab" ] && ! grep -q 'tavolin: no wintab' "$plugin/CMakeLists.txt"; then
    sed -i 's/QT_CONFIG(tabletevent)/0 \/* tavolin: no wintab *\//' \
        "$plugin"/qwindowscontext.cpp "$plugin"/qwindowspointerhandler.cpp \
        "$plugin"/qwindowspointerhandler.h
    sed -i 's/CONDITION QT_FEATURE_tabletevent$/CONDITION FALSE # tavolin: no wintab/' \
        "$plugin/CMakeLists.txt"
fi
sed -i 's/^#if QT_CONFIG(directwrite3)$/#if QT_CONFIG(directwrite3) \&\& QT_CONFIG(direct2d)/' \
    "$plugin/qwindowsintegration.cpp"

# The project's toolchain file when it is there; otherwise an equivalent one of our own.
toolchain="$root/cmake/toolchain-mingw-w64.cmake"
if [ ! -f "$toolchain" ]; then
    toolchain="$qt_dir/toolchain-mingw-w64.cmake"
    cat >"$toolchain" <<'EOF'
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
EOF
fi

build="$qt_dir/$host_version/build"
host_cmake_dir=$(dirname "$(dpkg -L qt6-base-dev | grep -m1 '/cmake/Qt6HostInfo$')")
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

start=$(date +%s)
cmake -S "$src" -B "$build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$prefix" \
    "${launcher[@]}" \
    -DQT_HOST_PATH=/usr \
    -DQT_HOST_PATH_CMAKE_DIR="$host_cmake_dir" \
    -DBUILD_SHARED_LIBS=ON \
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
    -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_opengl=OFF -DFEATURE_dbus=OFF \
    -DFEATURE_printsupport=OFF -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF \
    -DFEATURE_testlib=ON -DFEATURE_widgets=ON -DFEATURE_gui=ON \
    -DFEATURE_vulkan=OFF -DFEATURE_direct2d=OFF -DFEATURE_icu=OFF -DFEATURE_zstd=OFF \
    -DFEATURE_openssl=OFF -DFEATURE_jpeg=OFF -DFEATURE_gif=OFF \
    -DFEATURE_androiddeployqt=OFF \
    -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_freetype=OFF \
    -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_png=OFF \
    -DINPUT_opengl=no \
    >"$qt_dir/$host_version/configure.log" 2>&1 || {
        echo "windows-qt: configure failed, see $qt_dir/$host_version/configure.log" >&2
        tail -30 "$qt_dir/$host_version/configure.log" >&2
        exit 1
    }
configured=$(date +%s)

nice -n "${TAVOLIN_QT_NICE:-19}" cmake --build "$build" -j "${TAVOLIN_QT_JOBS:-2}"
built=$(date +%s)
cmake --install "$build" >/dev/null
touch "$stamp"
end=$(date +%s)
echo "windows-qt: configure $((configured - start)) s, build $((built - configured)) s," \
     "install $((end - built)) s; $(du -sh "$prefix" | cut -f1) in $prefix"
