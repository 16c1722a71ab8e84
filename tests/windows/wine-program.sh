#!/usr/bin/env bash
# tavolin.exe under Wine in a real X session (run inside tests/support/run-in-x11.sh, with
# WINEPREFIX set up by the caller): the settings window appears, "&Programm" > "&Erstellen"
# writes Background.bmp and makes it Wine's wallpaper, minimising puts the icon into the tray
# host, a reminder box appears in its minute, autostart makes its shortcut; started with "/go"
# in a Wine desktop window, the painted picture is what the desktop shows. With SHOTS=dir it
# leaves screenshots there (windows-*.png).
# Usage: wine-program.sh DIR/WITH/tavolin.exe
set -u
program_dir="$1"
# The work folder, fail(), wait_for and activate of the Linux program's tests.
. "$(dirname "$0")/../app/x11-common.sh" "$program_dir/tavolin.exe"
data="$TAVOLIN_DIR"
wine=$(command -v wine64 || command -v wine)
export WINEDEBUG=-all
# The X session's Qt settings mean nothing to the Windows Qt (its only platform is "windows").
unset QT_QPA_PLATFORM QT_PLUGIN_PATH
# Wine hands the environment on; the program sees its data directory as a Windows path.
TAVOLIN_DIR="$(winepath -w "$data" 2>/dev/null)"
[ -n "$TAVOLIN_DIR" ] || fail "winepath cannot name $data"
# shot NAME [WINDOW]: a screenshot of the window with its frame (else the whole screen) as
# $SHOTS/windows-NAME.png; shot_around NAME WINDOW MARGIN: the screen around a window, for the
# menus, which have no frame.
shot() {
    [ -n "${SHOTS:-}" ] || return 0
    if [ -n "${2:-}" ]; then
        import -frame -window "$2" "$SHOTS/windows-$1.png"
    else
        import -window root "$SHOTS/windows-$1.png"
    fi
}
shot_around() {
    [ -n "${SHOTS:-}" ] || return 0
    local X Y WIDTH HEIGHT
    eval "$(xdotool getwindowgeometry --shell "$2")"
    local x=$((X > $3 ? X - $3 : 0)) y=$((Y > $3 ? Y - $3 : 0))
    import -window root -crop "$((WIDTH + 2 * $3))x$((HEIGHT + 2 * $3))+$x+$y" +repage \
        "$SHOTS/windows-$1.png"
}
window() { xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1; }
visible_window() { window '^Tavolin by Pelmar$'; }
config_value() { tr -d '\r' <"$data/config.ini" | grep "^$1=" | cut -d= -f2; }
# The program's shown windows, its menus included (Wine names the class after the program).
shown_windows() { xdotool search --onlyvisible --class '^tavolin\.exe$' 2>/dev/null | wc -l; }
# Width and height of a bitmap, from its header (32-bit little-endian at offsets 18 and 22).
bmp_size() { od -An -tu4 -j18 -N8 "$1" | awk '{ print $1 "x" ($2 < 2^31 ? $2 : 2^32 - $2) }'; }
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
activate "$wid" || fail "the dialog cannot be activated"
sleep 1
shot dialog "$wid"

# The reminder box in its minute (first: nothing else may have the focus when it comes).
wait_for '[ -n "$(window "^Termin-Erinnerung$")" ]' 900 || fail "no reminder box appeared"
box="$(window "^Termin-Erinnerung$")"
sleep 0.5
shot reminder "$box"
activate "$box" || true
xdotool key Return
wait_for '[ -z "$(window "^Termin-Erinnerung$")" ]' 50 || fail "Enter did not close the reminder"

# "&Programm" > "&Erstellen": the picture at the screen's size, handed to Windows.
activate "$wid" || fail "the dialog cannot be activated again"
xdotool key --clearmodifiers alt+p
sleep 0.5
xdotool key e
wait_for '[ -s "$data/Background.bmp" ]' 600 || fail "Erstellen wrote no Background.bmp"
[ "$(head -c2 "$data/Background.bmp")" = BM ] || fail "Background.bmp is no bitmap"
screen="$(xdpyinfo | awk '/dimensions:/ { print $2; exit }')"
wait_for '[ "$(bmp_size "$data/Background.bmp")" = "$screen" ]' 100 ||
    fail "Background.bmp is $(bmp_size "$data/Background.bmp"), the screen $screen"
wait_for 'wallpaper | grep -qi "Background.bmp"' 100 ||
    fail "Wine's wallpaper is not Background.bmp: '$(wallpaper)'"

# "A&utomatisch starten": a shortcut with "/go" in the user's Startup folder, and away again.
appdata="$(winepath -u "$("$wine" cmd /c echo %APPDATA% 2>/dev/null | tr -d '\r')" 2>/dev/null)"
# Wine's folder is "StartUp"; Linux sees the case, Windows programs do not.
startup="$(find "$appdata/Microsoft/Windows/Start Menu/Programs" -maxdepth 1 -iname startup | head -n1)"
[ -n "$startup" ] || fail "no Startup folder in the Wine prefix"
startup_link="$startup/Tavolin.lnk"
activate "$wid" || true
xdotool key --clearmodifiers alt+u
wait_for '[ -s "$startup_link" ] && [ "$(config_value Autostart)" = 1 ]' 100 ||
    fail "Automatisch starten made no $startup_link"
# The link keeps its texts in UTF-16: without the zero bytes they read as ASCII.
tr -d '\0' <"$startup_link" | grep -aq '/go' || fail "the autostart shortcut does not pass /go"
xdotool key --clearmodifiers alt+u
wait_for '[ ! -e "$startup_link" ] && [ "$(config_value Autostart)" = 0 ]' 100 ||
    fail "unchecking Automatisch starten left the shortcut"

# The appointment dialog through "&Hinzufügen", left with Escape.
activate "$wid" || fail "the dialog cannot be activated again"
xdotool key --clearmodifiers alt+h
wait_for '[ -n "$(window "^Termin / Notiz")" ]' 100 || fail "Hinzufügen opened no appointment dialog"
termin="$(window "^Termin / Notiz")"
sleep 0.5
shot termin "$termin"
activate "$termin" || true
xdotool key Escape
wait_for '[ -z "$(window "^Termin / Notiz")" ]' 50 || fail "Escape did not close the appointment dialog"

# Minimise into the notification area.
xdotool windowminimize "$wid"
wait_for '[ -z "$(visible_window)" ]' 100 || fail "minimising left the window visible"
wait_for 'tray_icon >/dev/null' 100 || fail "no icon in the tray host after minimising"
# Clicks on an icon Wine docked into an X tray host do not reach the program under Wine 8 (the
# same program's icon answers in Wine's own taskbar, below), so this copy ends from its process.
kill "$pid" 2>/dev/null
wineserver --kill 2>/dev/null
pid=""

# --- "/go" in a Wine desktop window, which shows the wallpaper as Windows' desktop does -------
rm -f "$data/Background.bmp"
# With its shell on, the Wine desktop has a taskbar with a notification area of its own.
"$wine" reg add 'HKCU\Software\Wine\Explorer\Desktops\Tavolin' /v EnableShell /t REG_DWORD \
    /d 1 /f >/dev/null 2>&1 || fail "cannot switch the Wine desktop's shell on"
"$wine" explorer /desktop=Tavolin,1024x768 "$program_dir/tavolin.exe" /go >"$work/tavolin.log" 2>&1 &
pid=$!
wait_for '[ -n "$(window "^Tavolin - Wine desktop$")" ]' 300 || fail "no Wine desktop window"
desktop="$(window "^Tavolin - Wine desktop$")"
wait_for '[ "$(bmp_size "$data/Background.bmp" 2>/dev/null)" = 1024x768 ]' 600 ||
    fail "/go painted no Background.bmp at the desktop's size 1024x768"
# The desktop shows the picture: a pixel of the frame-less desktop window against the file's.
pixel() { convert "$1" -format "%[pixel:p{$2,$3}]" info: 2>/dev/null; }
wait_for 'import -window "$desktop" "$work/desktop.png" 2>/dev/null &&
          [ "$(pixel "$work/desktop.png" 4 4)" = "$(pixel "$data/Background.bmp" 4 4)" ]' 100 ||
    fail "the Wine desktop does not show Background.bmp"
sleep 0.5
shot wallpaper "$desktop"

# The icon in the Wine desktop's own taskbar: its menu on a right-click, "&Wiederherstellen"
# shows the window, "&Programm" > "&Beenden" ends the program.
eval "$(xdotool getwindowgeometry --shell "$desktop")"
before="$(shown_windows)"
xdotool mousemove --window "$desktop" $((WIDTH - 12)) $((HEIGHT - 10)) click 3
wait_for '[ "$(shown_windows)" -gt "$before" ]' 50 || fail "a right-click on the taskbar icon showed no menu"
sleep 0.5
shot traymenu "$desktop"
xdotool key w
wait_for '[ -n "$(visible_window)" ]' 100 || fail "Wiederherstellen did not show the window"
# A click on the banner gives the window the keyboard (the Wine desktop's windows are not the
# window manager's to activate).
sleep 0.5
xdotool mousemove --window "$(visible_window)" 120 90 click 1
sleep 0.3
xdotool key --clearmodifiers alt+p
sleep 0.5
xdotool key b
wait_for '[ -z "$(visible_window)" ] && ! pgrep -x "tavolin.exe" >/dev/null' 100 ||
    fail "Beenden did not end the program"
kill "$pid" 2>/dev/null
wineserver --kill 2>/dev/null
pid=""
echo "wine program: all steps passed"
