#!/usr/bin/env bash
# The Qt program tavolin.exe for Windows, against the Qt that scripts/windows-qt.sh builds.
#
#   scripts/windows-program.sh program        build tavolin.exe and tavolin-cli.exe
#                                              (build/windows/program) and stage them with
#                                              the DLLs they need (build/windows/program/stage)
#   scripts/windows-program.sh program-test   program, then the real-window test under Wine
#                                              and Xvfb (SHOTS=dir keeps its screenshots)
#
# The third-party libraries come from scripts/windows.sh deps (part of the core's build).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out="$root/build/windows"
build="$out/program"
stage="$build/stage"
triple=x86_64-w64-mingw32

log() { echo "windows-program: $*" >&2; }

qt_prefix() {
    "$root/scripts/windows-qt.sh" >&2
    "$root/scripts/windows-qt.sh" --print-prefix
}

# Copies into the folder $1 the DLLs the program file $2 imports, and theirs in turn, from the
# folders that follow; Windows' own DLLs are not found there and stay out.
copy_imports() {
    local into="$1" file="$2" dirs=("${@:3}") dll dir
    for dll in $("$triple-objdump" -p "$file" | sed -n 's/^\s*DLL Name: //p'); do
        [ -e "$into/$dll" ] && continue
        for dir in "${dirs[@]}"; do
            if [ -f "$dir/$dll" ]; then
                cp "$dir/$dll" "$into/"
                copy_imports "$into" "$into/$dll" "${dirs[@]}"
                break
            fi
        done
    done
}

build_program() {
    local qt
    qt=$(qt_prefix)
    if [ -x "$root/scripts/windows.sh" ]; then "$root/scripts/windows.sh" deps; fi
    mkdir -p "$build"
    # The project's toolchain file, with the Windows Qt as one more root to find packages in.
    cat >"$build/toolchain.cmake" <<EOF
include("$root/cmake/toolchain-mingw-w64.cmake")
list(APPEND CMAKE_FIND_ROOT_PATH "$qt")
list(APPEND CMAKE_PREFIX_PATH "$qt")
EOF
    local started=$SECONDS
    local launcher=()
    command -v ccache >/dev/null &&
        launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    # -O2, not CMake's -O3: GCC 12 warns falsely about std::string's memcpy at -O3 (-Wrestrict).
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$build/toolchain.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_FLAGS_RELEASE="-O2 -DNDEBUG" \
        -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" "${launcher[@]}" \
        -DTAVOLIN_BUILD_GUI=ON -DTAVOLIN_BUILD_TESTS=ON -DTAVOLIN_BUILD_BENCH=OFF \
        -DQT_HOST_PATH=/usr \
        -DQT_HOST_PATH_CMAKE_DIR="$(dirname "$(dpkg -L qt6-base-dev | grep -m1 '/cmake/Qt6HostInfo$')")" \
        >"$build/configure.log" 2>&1 || { tail -n 40 "$build/configure.log" >&2; exit 1; }
    # The program's own Windows test comes along; the core's tests are scripts/windows.sh test's.
    cmake --build "$build" -j"${JOBS:-2}" --target tavolin tavolin-cli test_windows_program
    log "built in $((SECONDS - started)) s"

    rm -rf "$stage"
    mkdir -p "$stage/platforms" "$stage/styles"
    local cli
    cli=$(find "$build/src" -name tavolin-cli.exe | head -n1)
    cp "$build/src/app/tavolin.exe" "$cli" "$stage/"
    # libical's time zones, which it looks for beside the programs.
    if [ -d "$(dirname "$cli")/zoneinfo" ]; then cp -r "$(dirname "$cli")/zoneinfo" "$stage/"; fi
    cp "$qt/plugins/platforms/qwindows.dll" "$stage/platforms/"
    cp "$qt/plugins/styles/qwindowsvistastyle.dll" "$stage/styles/"
    local dirs=("$qt/bin" "/usr/lib/gcc/$triple/$("$triple-g++-posix" -dumpversion)"
                "/usr/$triple/lib")
    local f
    for f in "$stage"/*.exe "$stage"/platforms/*.dll "$stage"/styles/*.dll; do
        copy_imports "$stage" "$f" "${dirs[@]}"
    done
    # The program's Windows test, with its DLLs, in a folder of its own (not shipped).
    rm -rf "$build/test-run"
    mkdir -p "$build/test-run"
    cp "$build/tests/test_windows_program.exe" "$build/test-run/"
    copy_imports "$build/test-run" "$build/test-run/test_windows_program.exe" "${dirs[@]}"
    "$triple-strip" --strip-unneeded "$stage"/*.exe "$stage"/*.dll "$stage"/platforms/*.dll \
        "$stage"/styles/*.dll
    log "staged $(find "$stage" -type f | wc -l) files, $(du -sh "$stage" | cut -f1), in $stage"
}

# A fresh Wine prefix of our own, so that no earlier run's registry or files count.
fresh_wineprefix() {
    export WINEPREFIX="$1" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    rm -rf "$WINEPREFIX"
    mkdir -p "$(dirname "$WINEPREFIX")"
    # wineboot needs a display for nothing here; keep it off the test's X server.
    DISPLAY= wineboot --init >/dev/null 2>&1
    wineserver --wait
}

case "${1:-}" in
    program)
        build_program
        ;;
    program-test)
        build_program
        fresh_wineprefix "$out/wine-program"
        status=0
        log "the program's Windows test"
        # Its report goes to a file: Wine hands a windowless program's output on unreliably.
        # A second try when the first fails: Wine's first windows in a fresh prefix may come up
        # before its desktop process, which then misses the first broadcast.
        for try in 1 2; do
            status=0
            "$root/tests/support/run-in-x11.sh" "$(command -v wine64 || command -v wine)" \
                "$build/test-run/test_windows_program.exe" \
                -o "$(winepath -w "$build/test-run")\\results.txt,txt" || status=1
            tr -d '\r' <"$build/test-run/results.txt" >&2 || status=1
            [ "$status" = 0 ] && break
            [ "$try" = 1 ] && log "the program's Windows test failed; once more"
        done
        log "the program in a real X session"
        if [ -n "${SHOTS:-}" ]; then mkdir -p "$SHOTS"; fi
        "$root/tests/support/run-in-x11.sh" "$root/tests/windows/wine-program.sh" "$stage" ||
            status=1
        wineserver --kill || true
        exit "$status"
        ;;
    *)
        echo "usage: $0 program|program-test" >&2
        exit 2
        ;;
esac
