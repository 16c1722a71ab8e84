#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks that everything a desktop program needs
# is in place; validates the AppStream metainfo when appstreamcli is there.
# Usage: install-test.sh BUILD_DIR
set -eu
build="$1"
prefix="$(mktemp -d)"
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
status=0
for f in bin/tavolin bin/tavolin-cli share/applications/tavolin.desktop \
    share/metainfo/org.tavolin.Tavolin.metainfo.xml; do
    [ -e "$prefix/$f" ] || { echo "missing: $f"; status=1; }
done
for s in 16 22 24 32 48 64 128 256; do
    icon="$prefix/share/icons/hicolor/${s}x${s}/apps/tavolin.png"
    [ -e "$icon" ] || { echo "missing: $icon"; status=1; continue; }
    # The PNG header holds width and height at bytes 16..23.
    dims="$(od -An -tu1 -j16 -N8 "$icon" | awk '{print $3*256+$4 "x" $7*256+$8}')"
    [ "$dims" = "${s}x${s}" ] || { echo "icon $s is $dims"; status=1; }
done
grep -q '^Categories=Utility;Calendar;$' "$prefix/share/applications/tavolin.desktop" ||
    { echo "launcher lacks its categories"; status=1; }
grep -q '^Exec=tavolin$' "$prefix/share/applications/tavolin.desktop" ||
    { echo "launcher does not start tavolin"; status=1; }
if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net "$prefix/share/metainfo/org.tavolin.Tavolin.metainfo.xml" ||
        status=1
else
    echo "appstreamcli not installed: metainfo not validated"
fi
# Without a display the program says what to use instead and fails cleanly.
if out="$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$prefix/bin/tavolin" 2>&1)"; then
    echo "tavolin without a display exited 0"; status=1
fi
echo "$out" | grep -q tavolin-cli || { echo "no hint at tavolin-cli: $out"; status=1; }
# A DISPLAY naming an X server that is not running gets the same hint, not an abort in Qt.
code=0
out="$(env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM DISPLAY=:4711 "$prefix/bin/tavolin" 2>&1)" || code=$?
[ "$code" -eq 1 ] || { echo "tavolin with a dead display exited $code: $out"; status=1; }
echo "$out" | grep -q tavolin-cli || { echo "no hint at tavolin-cli: $out"; status=1; }
exit $status
