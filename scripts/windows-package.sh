#!/usr/bin/env bash
# The Windows installer TavolinSetup.exe (NSIS), from the program staged by
# scripts/windows-program.sh.
#
#   scripts/windows-package.sh          build build/windows/TavolinSetup.exe
#   scripts/windows-package.sh --test   build it, then install it silently under Wine, start
#                                       the installed program, and uninstall it again
#   TAVOLIN_WINDOWS_STAGE=dir           package that folder instead of building the program
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out="$root/build/windows"
stage="${TAVOLIN_WINDOWS_STAGE:-$out/program/stage}"
pkg="$out/package"
setup="$out/TavolinSetup.exe"

log() { echo "windows-package: $*" >&2; }

if ! command -v makensis >/dev/null; then
    SUDO=""
    [ "$(id -u)" -ne 0 ] && SUDO="sudo"
    $SUDO env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900 install -y -qq \
        --no-install-recommends nsis >/dev/null
fi

[ -n "${TAVOLIN_WINDOWS_STAGE:-}" ] || "$root/scripts/windows-program.sh" program

# The install and removal lists, file by file, so that the uninstaller removes exactly what
# was installed and nothing the user keeps beside it.
rm -rf "$pkg"
mkdir -p "$pkg"
(
    cd "$stage"
    find . -type d ! -name . | sed 's|^\./||' | sort | while read -r d; do
        printf 'CreateDirectory "$INSTDIR\\%s"\n' "${d//\//\\}"
    done
    find . -type f | sed 's|^\./||' | sort | while read -r f; do
        dir=$(dirname "$f")
        if [ "$dir" = . ]; then printf 'SetOutPath "$INSTDIR"\n'
        else printf 'SetOutPath "$INSTDIR\\%s"\n' "${dir//\//\\}"; fi
        printf 'File "%s"\n' "$stage/$f"
    done
    printf 'SetOutPath "$INSTDIR"\n'
) >"$pkg/files.nsh"
(
    cd "$stage"
    find . -type f | sed 's|^\./||' | sort | while read -r f; do
        printf 'Delete "$INSTDIR\\%s"\n' "${f//\//\\}"
    done
    find . -type d ! -name . | sed 's|^\./||' | sort -r | while read -r d; do
        printf 'RMDir "$INSTDIR\\%s"\n' "${d//\//\\}"
    done
) >"$pkg/remove.nsh"

version=$(sed -n 's/^project(Tavolin VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
makensis -V2 -DSTAGE="$stage" -DFILES="$pkg/files.nsh" -DREMOVE="$pkg/remove.nsh" \
    -DOUTFILE="$setup" -DVERSION="$version" "$root/data/windows/tavolin.nsi" >&2
log "$setup: $(du -h "$setup" | cut -f1) ($(stat -c %s "$setup") bytes)"

[ "${1:-}" = "--test" ] || exit 0

export WINEPREFIX="$out/wine-package" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
rm -rf "$WINEPREFIX"
DISPLAY= wineboot --init >/dev/null 2>&1
wineserver --wait
"$root/tests/support/run-in-x11.sh" "$root/tests/windows/wine-install.sh" "$setup"
wineserver --kill || true
