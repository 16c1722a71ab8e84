#!/usr/bin/env bash
# tavolin.exe under Wine in a real X session (run inside tests/support/run-in-x11.sh, with
# WINEPREFIX set up by the caller): the settings window appears, "&Programm" > "&Erstellen"
# writes Background.bmp and makes it Wine's wallpaper, minimising puts the icon into the tray
# host, a reminder box appears in its minute. With SHOTS=dir it leaves screenshots there.
# Usage: wine-program.sh DIR/WITH/tavolin.exe
set -u
program_dir="$1"
wine=$(command -v wine64 || command -v wine)
export WINEDEBUG=-all
# The X session's Qt settings mean nothing to the Windows Qt (its only platform is "windows").
unset QT_QPA_PLATFORM QT_PLUGIN_PATH
work="$(mktemp -d)"
data="$work/data"
mkdir -p "$data"
# Wine hands the environment on; the program sees its data directory as a Windows path.
export TAVOLIN_DIR="$(winepath -w "$data" 2>/dev/null)"
pid=""
fail() {
    echo "FAIL: $*" >&2
    [ -n "$pid" ] && kill "$pid" 2>/dev/null
    xwininfo -root -tree >&2
    cat "$work/tavolin.log" >&2 2>/dev/null
    rm -rf "$work"
    exit 1
}
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$work"' EXIT
wait_for() {
    for _ in $(seq "$2"); do
        eval "$1" && return 0
        sleep 0.1
    done
    return 1
}
shot() {
    [ -n "${SHOTS:-}" ] || return 0
    if [ -n "${2:-}" ]; then
        import -frame -window "$2" "$SHOTS/$1.png"
    else
        import -window root "$SHOTS/$1.png"
    fi
}
window() { xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1; }
visible_window() { window '^Tavolin by Pelmar$'; }
config_value() { tr -d '\r' <"$data/config.ini" | grep "^$1=" | cut -d= -f2; }
# Wine's explorer.exe docks the notification icons into the tray host: a window of its class
# deep inside trayer's panel.
tray_icon() {
    xwininfo -root -tree | awk '/\("panel" "trayer"\)/ { panel = 1; next }
        panel && /\("explorer.exe" "explorer.exe"\)/ { match($0, /^ */); if (RLENGTH >= 12) { print $1; found = 1; exit } }
        END { exit !found }'
}
wallpaper() {
    "$wine" reg query 'HKCU\Control Panel\Desktop' /v Wallpaper 2>/dev/null | tr -d '\r' |
        awk '/Wallpaper/ { sub(/.*REG_SZ[ \t]*/, ""); print }'
}

# A reminder due in the next minute, still ahead once the program runs.
if [ "$(date +%S)" -gt 40 ]; then sleep 21; fi
due="$(date -d '+1 minute' '+%d.%m.%Y - %H:%M')"
printf '%s # Erinnerung im Test' "$due" >"$data/Termine.dat"
printf '[Programm]\r\nTermine=1\r\nDelTermine=1\r\nAlarm=1\r\n' >"$data/config.ini"

# --- Normal start ---------------------------------------------------------------------------
"$wine" "$program_dir/tavolin.exe" >"$work/tavolin.log" 2>&1 &
pid=$!
wait_for '[ -n "$(visible_window)" ]' 600 || fail "the dialog did not appear"
wid="$(visible_window)"
[ -n "$(config_value KArt)" ] || fail "the start did not complete config.ini"
xdotool windowactivate --sync "$wid" >/dev/null 2>&1 || xdotool windowfocus --sync "$wid"
sleep 1
shot dialog "$wid"

# "&Programm" > "&Erstellen".
xdotool key --clearmodifiers alt+p
sleep 0.5
xdotool key e
wait_for '[ -s "$data/Background.bmp" ]' 600 || fail "Erstellen wrote no Background.bmp"
[ "$(head -c2 "$data/Background.bmp")" = BM ] || fail "Background.bmp is no bitmap"
wait_for 'wallpaper | grep -qi "Background.bmp"' 100 ||
    fail "Wine's wallpaper is not Background.bmp: '$(wallpaper)'"

# The reminder box in its minute.
wait_for '[ -n "$(window "^Termin-Erinnerung$")" ]' 900 || fail "no reminder box appeared"
box="$(window "^Termin-Erinnerung$")"
sleep 0.5
shot reminder "$box"
xdotool windowactivate --sync "$box" >/dev/null 2>&1 || true
xdotool key Return
wait_for '[ -z "$(window "^Termin-Erinnerung$")" ]' 50 || fail "Enter did not close the reminder"

# Minimise into the notification area.
xdotool windowminimize "$wid"
wait_for '[ -z "$(visible_window)" ]' 100 || fail "minimising left the window visible"
wait_for 'tray_icon >/dev/null' 100 || fail "no icon in the tray host after minimising"
sleep 0.5
shot tray
icon="$(tray_icon)"
xdotool mousemove --window "$icon" 8 8 click --repeat 2 --delay 80 1
wait_for '[ -n "$(visible_window)" ]' 100 || fail "double-click did not restore the window"

# "&Programm" > "&Beenden" ends the program.
wid="$(visible_window)"
xdotool windowactivate --sync "$wid" >/dev/null 2>&1 || true
xdotool key --clearmodifiers alt+p
sleep 0.5
xdotool key b
wait_for '! kill -0 $pid 2>/dev/null' 100 || fail "Beenden did not end the program"
pid=""
echo "wine program: all steps passed"
