#!/usr/bin/env bash
# Cross-builds Tavolin for 64-bit Windows on Debian and tests it under Wine.
#
#   scripts/windows.sh deps     third-party libraries for Windows, from Debian's own sources
#   scripts/windows.sh build    deps, then tavolin-cli.exe and the core tests (build/windows)
#   scripts/windows.sh test     build, then every test under Wine
#   scripts/windows.sh qt|package ...   handed to scripts/windows-qt.sh / windows-package.sh
#   scripts/windows.sh program|program-test   handed to scripts/windows-program.sh
#
# Installs what it needs itself (mingw-w64, Wine, dpkg-dev for apt-get source); the Linux
# build does not need any of it. Dependencies are cached in build/windows/deps/<name>-<version>
# and rebuilt only when Debian's version changes.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
out="$root/build/windows"
deps="$out/deps"
jobs="${JOBS:-$(nproc)}"
triple=x86_64-w64-mingw32
toolchain="$root/cmake/toolchain-mingw-w64.cmake"
export TAVOLIN_WINDOWS_DEPS="$deps"

log() { echo "windows: $*" >&2; }

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
apt_get() { $SUDO env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900 "$@"; }

install_packages() {
    local packages=(
        g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-tools
        wine64 wine xvfb xauth
        dpkg-dev cmake ninja-build pkg-config nasm
        # The Debian versions the Windows libraries must match (bootstrap.sh has them too).
        zlib1g-dev libpng-dev libjpeg62-turbo-dev libtiff-dev libical-dev libgtest-dev
    )
    local missing=() p
    for p in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" ||
            missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    log "installing ${missing[*]}"
    if ! apt_get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null 2>&1; then
        apt_get update -qq >/dev/null
        apt_get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
    fi
}

# deb-src entries for the configured mirrors, signed by the same keyring, so that
# apt-get source fetches exactly the sources of the installed packages.
deb_src_file=/etc/apt/sources.list.d/tavolin-deb-src.sources
add_deb_src() {
    local wanted
    if [ -f /etc/apt/sources.list.d/debian.sources ]; then
        wanted="$(sed -e 's/^Types:.*/Types: deb-src/' /etc/apt/sources.list.d/debian.sources)"
    elif [ -f /etc/apt/sources.list ]; then
        # One-line format: "deb [options] URI suite components..." becomes a stanza each.
        wanted="$(awk '$1 == "deb" {
                signed = ""; i = 2
                if ($2 ~ /^\[/) {
                    while (i <= NF) { if ($i ~ /signed-by=/) { s = $i; sub(/.*signed-by=/, "", s); sub(/\]$/, "", s); signed = s }
                                      if ($i ~ /\]$/) { i++; break } ; i++ }
                }
                printf "Types: deb-src\nURIs: %s\nSuites: %s\nComponents:", $i, $(i+1)
                for (j = i + 2; j <= NF; j++) printf " %s", $j
                printf "\n"
                if (signed != "") printf "Signed-By: %s\n", signed
                printf "\n"
            }' /etc/apt/sources.list)"
    else
        log "no Debian sources list to copy a deb-src entry from"
        return 1
    fi
    if [ -f "$deb_src_file" ] && [ "$(cat "$deb_src_file")" = "$wanted" ]; then
        return 0
    fi
    log "adding $deb_src_file"
    printf '%s\n' "$wanted" | $SUDO tee "$deb_src_file.tmp" >/dev/null
    $SUDO mv "$deb_src_file.tmp" "$deb_src_file"
    apt_get update -qq >/dev/null
}

# "<source package> <version>" of the installed binary package.
source_of() {
    dpkg-query -W -f='${source:Package} ${source:Version}\n' "$1"
}

# A version as a folder name: the epoch ("1:") dropped, as Debian's own file names do.
folder_version() { echo "${1#*:}"; }

# The upstream part: no epoch, no Debian revision, no repack suffix.
upstream_of() {
    local v="${1#*:}"
    v="${v%-*}"
    echo "${v%%[.+~]dfsg*}"
}

# The versions worth trying for the source of package=version, best first: that version, then
# the other Debian revisions of the same upstream release, newest first. The mirror may no
# longer carry an installed security update's source; those revisions only patch, so any of
# them builds the same release.
source_candidates() {
    local pkg="$1" version="$2" available v
    available="$(apt-cache showsrc "$pkg" 2>/dev/null | sed -n 's/^Version: //p')"
    if [ -z "$available" ]; then
        add_deb_src
        available="$(apt-cache showsrc "$pkg" 2>/dev/null | sed -n 's/^Version: //p')"
    fi
    echo "$version"
    for v in $available; do
        [ "$v" != "$version" ] && [ "$(upstream_of "$v")" = "$(upstream_of "$version")" ] &&
            echo "$v"
    done | sort -r -V
}

# Unpacks the Debian source of package=version (or the nearest revision that can be fetched)
# below deps/src; sets fetched_dir and fetched_version.
fetch_source() {
    local pkg="$1" version="$2" dir candidate tree
    for candidate in $(source_candidates "$pkg" "$version"); do
        dir="$deps/src/$pkg-$(folder_version "$candidate")"
        if [ -f "$dir/.unpacked" ]; then
            fetched_dir="$dir" fetched_version="$candidate"
            return 0
        fi
        rm -rf "$dir" "$dir.tmp"
        mkdir -p "$dir.tmp"
        log "fetching source $pkg $candidate"
        if (cd "$dir.tmp" && apt-get source -qq "$pkg=$candidate" >"$dir.log" 2>&1); then
            tree="$(find "$dir.tmp" -mindepth 1 -maxdepth 1 -type d | head -n 1)"
            if [ -n "$tree" ]; then
                mv "$tree" "$dir"
                rm -rf "$dir.tmp" "$dir.log"
                touch "$dir/.unpacked"
                [ "$candidate" = "$version" ] ||
                    log "$pkg $version: its source is gone from the mirror; built $candidate"
                fetched_dir="$dir" fetched_version="$candidate"
                return 0
            fi
        fi
        # The mirror may lack the Debian part of a source while it has the upstream tarball:
        # then the upstream release unpatched, said loudly.
        tree="$(find "$dir.tmp" -maxdepth 1 -name "${pkg}_*.orig.tar.*" | head -n 1)"
        if [ -n "$tree" ] && tar -xf "$tree" -C "$dir.tmp"; then
            tree="$(find "$dir.tmp" -mindepth 1 -maxdepth 1 -type d | head -n 1)"
            if [ -n "$tree" ]; then
                log "WARNING: $pkg $candidate: only the upstream tarball could be fetched;" \
                    "building it without Debian's patches"
                mv "$tree" "$dir"
                rm -rf "$dir.tmp" "$dir.log"
                touch "$dir/.unpacked"
                fetched_dir="$dir" fetched_version="$candidate"
                return 0
            fi
        fi
        rm -rf "$dir.tmp"
    done
    log "no source for $pkg $version could be fetched"
    cat "$dir.log" >&2 || true
    return 1
}

# build_cmake <name> <version> <source dir> [cmake options...]: configure, build, install.
build_cmake() {
    local name="$1" version="$2" src="$3"
    shift 3
    local prefix="$deps/$name-$version" work="$deps/build/$name-$version"
    rm -rf "$work" "$prefix"
    cmake -S "$src" -B "$work" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
        -DBUILD_SHARED_LIBS=OFF -DCMAKE_POSITION_INDEPENDENT_CODE=OFF "$@" >"$work.log" 2>&1 ||
        { tail -n 40 "$work.log"; return 1; }
    cmake --build "$work" -j"$jobs" >>"$work.log" 2>&1 || { tail -n 40 "$work.log"; return 1; }
    cmake --install "$work" >>"$work.log" 2>&1 || { tail -n 40 "$work.log"; return 1; }
    rm -rf "$work"
}

# dep <name> <binary package> <builder>: builds once per Debian version.
dep() {
    local name="$1" binary="$2" builder="$3" pkg version
    read -r pkg version < <(source_of "$binary")
    # A cache hit needs no network at all.
    local built
    for built in "$deps/$name"-*/.built; do
        [ -f "$built" ] && [ "$(sed -n 1p "$built")" = "$version" ] && return 0
    done
    fetch_source "$pkg" "$version"
    local prefix="$deps/$name-$(folder_version "$fetched_version")" started=$SECONDS
    # An older version's build must not be found beside the new one.
    rm -rf "$deps/$name"-[0-9]*
    log "building $name $fetched_version"
    "$builder" "$name" "$(folder_version "$fetched_version")" "$fetched_dir"
    printf '%s\n%s\n' "$version" "$fetched_version" >"$prefix/.built"
    log "built $name $fetched_version in $((SECONDS - started)) s"
}

build_zlib() {
    local prefix="$deps/$1-$2" work="$deps/build/$1-$2" f
    # zlib's library is its top-level C files; compiled directly, it is the plain libz.a that
    # FindZLIB looks for (zlib's CMake names its static library differently on Windows).
    rm -rf "$work"
    mkdir -p "$work" "$prefix/lib" "$prefix/include" "$prefix/lib/pkgconfig"
    for f in adler32 compress crc32 deflate gzclose gzlib gzread gzwrite infback inffast \
        inflate inftrees trees uncompr zutil; do
        echo "$f"
    done | xargs -P "$jobs" -I{} "$triple-gcc-posix" -O2 -Wall -D_LARGEFILE64_SOURCE=1 \
        -c "$3/{}.c" -o "$work/{}.o"
    "$triple-gcc-ar-posix" rcs "$prefix/lib/libz.a" "$work"/*.o
    cp "$3/zlib.h" "$3/zconf.h" "$prefix/include/"
    rm -rf "$work"
    cat >"$prefix/lib/pkgconfig/zlib.pc" <<PC
prefix=$prefix
libdir=\${prefix}/lib
includedir=\${prefix}/include
Name: zlib
Description: zlib compression library
Version: $(upstream_of "$2")
Libs: -L\${libdir} -lz
Cflags: -I\${includedir}
PC
}

zlib_root() { echo "$(ls -d "$deps"/zlib-[0-9]* | head -n 1)"; }
jpeg_root() { echo "$(ls -d "$deps"/libjpeg-turbo-[0-9]* | head -n 1)"; }

build_libpng() {
    local z
    z="$(zlib_root)"
    build_cmake "$1" "$2" "$3" -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF \
        -DPNG_EXECUTABLES=OFF -DPNG_BUILD_ZLIB=OFF \
        -DZLIB_INCLUDE_DIR="$z/include" -DZLIB_LIBRARY="$z/lib/libz.a"
}

build_libjpeg_turbo() {
    build_cmake "$1" "$2" "$3" -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF \
        -DWITH_JAVA=OFF -DCMAKE_ASM_NASM_COMPILER=nasm
}

build_libtiff() {
    local z j
    z="$(zlib_root)"
    j="$(jpeg_root)"
    # Deflate and JPEG as on Linux; the rarer codecs (JBIG, LERC, LZMA, ZSTD, WebP) are left
    # out. LZW, PackBits, CCITT and the other built-in codecs are always there.
    build_cmake "$1" "$2" "$3" -Dtiff-tools=OFF -Dtiff-tests=OFF -Dtiff-contrib=OFF \
        -Dtiff-docs=OFF -Dcxx=OFF -Dzlib=ON -Djpeg=ON -Dold-jpeg=ON -Djbig=OFF -Dlerc=OFF \
        -Dlzma=OFF -Dzstd=OFF -Dwebp=OFF -Dlibdeflate=OFF -Dpixarlog=ON \
        -DZLIB_INCLUDE_DIR="$z/include" -DZLIB_LIBRARY="$z/lib/libz.a" \
        -DJPEG_INCLUDE_DIR="$j/include" -DJPEG_LIBRARY="$j/lib/libjpeg.a" \
        -DCMAKE_DISABLE_FIND_PACKAGE_OpenGL=ON -DCMAKE_DISABLE_FIND_PACKAGE_GLUT=ON
}

build_libical() {
    # The smallest libical: no GLib, no Berkeley DB, no ICU, no bindings, no docs. Time zones
    # come from libical's own zoneinfo (installed with it and shipped beside the programs).
    build_cmake "$1" "$2" "$3" -DSTATIC_ONLY=ON -DSHARED_ONLY=OFF -DICAL_GLIB=OFF \
        -DICAL_BUILD_DOCS=OFF -DICAL_ERRORS_ARE_FATAL=OFF -DGOBJECT_INTROSPECTION=OFF \
        -DICAL_GLIB_VAPI=OFF -DLIBICAL_BUILD_TESTING=OFF -DUSE_BUILTIN_TZDATA=ON \
        -DCMAKE_DISABLE_FIND_PACKAGE_ICU=ON -DCMAKE_DISABLE_FIND_PACKAGE_BDB=ON \
        -DCMAKE_DISABLE_FIND_PACKAGE_Doxygen=ON -DCMAKE_DISABLE_FIND_PACKAGE_GObjectIntrospection=ON \
        -DCMAKE_DISABLE_FIND_PACKAGE_PkgConfig=ON -DWITH_CXX_BINDINGS=OFF \
        -DENABLE_GTK_DOC=OFF
}

build_googletest() {
    build_cmake "$1" "$2" "$3" -DBUILD_GMOCK=ON -DINSTALL_GTEST=ON -Dgtest_disable_pthreads=OFF
}

cmd_deps() {
    install_packages
    local started=$SECONDS
    mkdir -p "$deps/src" "$deps/build"
    dep zlib zlib1g-dev build_zlib
    dep libjpeg-turbo libjpeg62-turbo-dev build_libjpeg_turbo
    dep libpng libpng-dev build_libpng
    dep libtiff libtiff-dev build_libtiff
    dep libical libical-dev build_libical
    dep googletest libgtest-dev build_googletest
    log "dependencies ready in $((SECONDS - started)) s"
}

cmd_build() {
    cmd_deps
    local started=$SECONDS
    local launcher=()
    command -v ccache >/dev/null && launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    cmake -S "$root" -B "$out/build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVOLIN_BUILD_GUI=OFF -DTAVOLIN_BUILD_BENCH=OFF \
        "${launcher[@]}" >/dev/null
    cmake --build "$out/build" -j"$jobs"
    log "project built in $((SECONDS - started)) s"
}

# A Wine prefix of its own, made fresh for each test run. Wine takes the Windows time zone from
# TZ, so the tests see Europe/Berlin as the Linux tests do; console programs need no display.
wine_env() {
    export WINEPREFIX="$out/wineprefix"
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml="
    export TZ=Europe/Berlin
    unset DISPLAY WAYLAND_DISPLAY
}

# The Linux tavolin-cli for the comparison (the one ./test.sh built, else a build of its own).
linux_cli() {
    local cli="$root/build/test/src/cli/tavolin-cli"
    if [ ! -x "$cli" ]; then
        cli="$out/linux/src/cli/tavolin-cli"
        "$root/scripts/bootstrap.sh"
        cmake -S "$root" -B "$out/linux" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
            -DTAVOLIN_BUILD_GUI=OFF -DTAVOLIN_BUILD_TESTS=OFF -DTAVOLIN_BUILD_BENCH=OFF >/dev/null
        cmake --build "$out/linux" --target tavolin-cli >/dev/null
    fi
    echo "$cli"
}

cmd_test() {
    cmd_build
    wine_env
    rm -rf "$WINEPREFIX"
    local started=$SECONDS
    log "making a fresh Wine prefix"
    wineboot --init >/dev/null 2>&1
    wineserver -w
    log "running the tests under Wine"
    local status=0
    # A second try only for a test whose Wine client lost its server ("wine client error ...
    # Connection reset by peer", seen once in several hundred runs); a real failure fails twice.
    ctest --test-dir "$out/build" --output-on-failure -j"$jobs" --timeout 600 \
        --repeat until-pass:2 "$@" || status=$?
    log "comparing the Windows and the Linux wallpaper"
    "$root/tests/windows/generate-compare.sh" "$(linux_cli)" \
        "$out/build/src/cli/tavolin-cli.exe" "$out/compare" || status=1
    wineserver -k 2>/dev/null || true
    log "tests done in $((SECONDS - started)) s"
    return "$status"
}

case "${1:-}" in
    deps) shift; cmd_deps "$@" ;;
    build) shift; cmd_build "$@" ;;
    test) shift; cmd_test "$@" ;;
    program | program-test) exec scripts/windows-program.sh "$@" ;;
    qt | package)
        sub="$1"
        shift
        [ -x "scripts/windows-$sub.sh" ] || { log "scripts/windows-$sub.sh is missing"; exit 1; }
        exec "scripts/windows-$sub.sh" "$@"
        ;;
    *)
        echo "usage: $0 deps|build|test|qt|program|program-test|package [args...]" >&2
        exit 2
        ;;
esac
