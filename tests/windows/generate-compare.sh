#!/usr/bin/env bash
# tavolin-cli.exe under Wine and the Linux tavolin-cli paint the same wallpaper from the same
# config.ini and Termine.dat at the same moment in the same time zone, byte for byte; and the
# Windows one hands it to Wine's desktop settings.
#   generate-compare.sh LINUX-CLI WINDOWS-CLI WORK-DIR   (WINEPREFIX set by the caller)
set -euo pipefail
linux_cli="$1" windows_cli="$2" work="$3"
rm -rf "$work"
mkdir -p "$work/linux" "$work/windows" "$work/data"
export TZ=Europe/Berlin TAVOLIN_NOW=1765393200 WINEDEBUG=-all

# The shared input, made once with the Linux program: the default settings and a few
# appointments and notes, one of them with Windows-1252 letters.
TAVOLIN_DIR="$work/data" "$linux_cli" init >/dev/null
TAVOLIN_DIR="$work/data" "$linux_cli" add 11.12.2025 09:30 "Zahnarzt Dr. Müller" >/dev/null
TAVOLIN_DIR="$work/data" "$linux_cli" add 24.12.2025 18:00 "Bescherung" >/dev/null
TAVOLIN_DIR="$work/data" "$linux_cli" add --note "Geschenke für Jörg besorgen" >/dev/null
cp "$work/data/config.ini" "$work/data/Termine.dat" "$work/linux/"
cp "$work/data/config.ini" "$work/data/Termine.dat" "$work/windows/"

env -u DISPLAY -u WAYLAND_DISPLAY TAVOLIN_DIR="$work/linux" \
    "$linux_cli" generate --size 800x600 >"$work/linux.log" 2>&1 || true
# Wine turns the Unix path of TAVOLIN_DIR into Z:\... on its own for the program; it is passed
# in Windows form all the same.
windir="Z:$(echo "$work/windows" | tr / '\\')"
env -u DISPLAY -u WAYLAND_DISPLAY TAVOLIN_DIR="$windir" \
    wine "$windows_cli" generate --size 800x600 >"$work/windows.log" 2>&1 || {
    cat "$work/windows.log"
    echo "generate-compare: tavolin-cli.exe generate failed"
    exit 1
}
for f in Background.bmp; do
    [ -s "$work/linux/$f" ] || { cat "$work/linux.log"; echo "generate-compare: no Linux $f"; exit 1; }
    [ -s "$work/windows/$f" ] || { cat "$work/windows.log"; echo "generate-compare: no Windows $f"; exit 1; }
done
if ! cmp "$work/linux/Background.bmp" "$work/windows/Background.bmp"; then
    echo "generate-compare: the two Background.bmp differ"
    exit 1
fi
# The files the program rewrote stay byte-identical too (CR LF, Windows-1252).
cmp "$work/linux/Termine.dat" "$work/windows/Termine.dat"
cmp "$work/linux/config.ini" "$work/windows/config.ini"

value="$(wine reg query 'HKCU\Control Panel\Desktop' /v Wallpaper 2>/dev/null | tr -d '\r' |
    sed -n 's/.*REG_SZ[[:space:]]*//p')"
expected="$windir\\Background.bmp"
if [ "$value" != "$expected" ]; then
    echo "generate-compare: Wallpaper is '$value', expected '$expected'"
    exit 1
fi
echo "generate-compare: Background.bmp identical ($(stat -c %s "$work/windows/Background.bmp") bytes); Wallpaper = $value"
