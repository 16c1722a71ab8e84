#!/usr/bin/env bash
# The real program in a real X session (run inside tests/support/run-in-x11.sh): a normal
# start driven by keyboard mnemonics, a setting reaching config.ini, "&Programm" > "&Erstellen"
# writing Background.bmp, minimise into the tray host and restore by double-click, "/go"
# leaving only a tray icon. With SHOTS=dir it leaves screenshots there.
# Usage: x11-e2e.sh PATH/TO/tavolin
source "$(dirname "$0")/x11-common.sh"
# shot NAME [WINDOW]: the window with its frame, or the top right corner (the tray and its menu).
shot() {
    [ -n "${SHOTS:-}" ] || return 0
    sleep 0.3  # a picture only: let the last paint reach the screen
    if [ -n "${2:-}" ]; then
        import -frame -window "$2" "$SHOTS/$1.png"
    else
        import -window root -crop 420x190+860+0 +repage "$SHOTS/$1.png"
    fi
}
visible_window() { xdotool search --onlyvisible --name '^Tavolin by Pelmar$' 2>/dev/null | head -1; }
# The tray icon: a window of ours docked deep inside the tray host (a top-level window of ours
# sits at the first level of the tree).
tray_icon() {
    xwininfo -root -tree | awk '/"Tavolin": \(/ { match($0, /^ */); if (RLENGTH >= 10) { print $1; found = 1; exit } }
        END { exit !found }'
}
config_value() { tr -d '\r' <"$TAVOLIN_DIR/config.ini" | grep "^$1=" | cut -d= -f2; }

# --- Normal start ---------------------------------------------------------------------------
"$tavolin" >"$work/tavolin.log" 2>&1 &
pid=$!
wait_for '[ -n "$(visible_window)" ]' 100 || fail "the dialog did not appear"
wid="$(visible_window)"
[ -f "$TAVOLIN_DIR/config.ini" ] || fail "no config.ini after a fresh start"
[ "$(config_value KArt)" = 2 ] || fail "fresh config.ini without KArt=2"
# The activation file lives outside the data directory: only -Regserver writes it.
service="$XDG_DATA_HOME/dbus-1/services/org.tavolin.Application.service"
[ ! -e "$service" ] || fail "a normal start wrote the activation file"
"$tavolin" -Regserver || fail "-Regserver failed"
grep -qxF "Exec=/usr/bin/env 'TAVOLIN_DIR=$TAVOLIN_DIR' '$(realpath "$tavolin")' -Embedding" \
    "$service" || fail "-Regserver wrote $(cat "$service")"
activate "$wid" || fail "the window did not get the focus"

# A setting by its mnemonic: "&1 Monat".
xdotool key --clearmodifiers alt+1
wait_for '[ "$(config_value KArt)" = 1 ]' 50 || fail "alt+1 did not write KArt=1"
# Open the appointment area ("&Termine anzeigen") for the screenshot.
xdotool key --clearmodifiers alt+t
wait_for '[ "$(config_value Termine)" = 1 ]' 50 || fail "alt+t did not write Termine=1"
shot dialog "$wid"

# "&Programm" > "&Erstellen".
open_menu xdotool key --clearmodifiers alt+p || fail "alt+p did not open the menu"
xdotool key e
wait_for '[ -s "$TAVOLIN_DIR/Background.bmp" ]' 300 || fail "Erstellen wrote no Background.bmp"
[ "$(head -c2 "$TAVOLIN_DIR/Background.bmp")" = BM ] || fail "Background.bmp is no bitmap"

# The information window from the menu "&?".
open_menu xdotool key --clearmodifiers alt+shift+slash || fail "the menu ? did not open"
xdotool key i
if wait_for '[ -n "$(xdotool search --onlyvisible --name "^Info .*ber Tavolin$" 2>/dev/null)" ]' 30; then
    shot info "$(xdotool search --onlyvisible --name "^Info .*ber Tavolin$" | head -1)"
    xdotool key Return
    wait_for '[ -z "$(xdotool search --onlyvisible --name "^Info .*ber Tavolin$" 2>/dev/null)" ]' 30 ||
        fail "Enter did not close the information window"
else
    fail "the information window did not open"
fi

# Minimise into the tray host, then restore with a double-click on the icon.
xdotool windowminimize "$wid"
wait_for '[ -z "$(visible_window)" ]' 50 || fail "minimising left the window visible"
wait_for 'tray_icon >/dev/null' 50 || fail "no icon in the tray host after minimising"
icon="$(tray_icon)"
open_menu_on_icon "$icon" || fail "no menu on the icon"
shot traymenu
close_menu xdotool key Escape || fail "Escape did not close the tray menu"
xdotool mousemove --window "$icon" 8 8 click --repeat 2 --delay 80 1
wait_for '[ -n "$(visible_window)" ]' 50 || fail "double-click did not restore the window"
wait_for '! tray_icon >/dev/null' 30 || fail "the icon stayed after restoring"

# "&Programm" > "&Beenden" ends the program.
wid="$(visible_window)"
activate "$wid" || true
open_menu xdotool key --clearmodifiers alt+p || fail "alt+p did not open the menu"
xdotool key b
wait_for '! kill -0 $pid 2>/dev/null' 50 || fail "Beenden did not end the program"
wait "$pid" || fail "the program ended with status $?"
pid=""

# --- Silent start ------------------------------------------------------------------------------
before="$(stat -c %Y.%s "$TAVOLIN_DIR/Background.bmp")"
rm -f "$TAVOLIN_DIR/Background.bmp"
"$tavolin" /go >"$work/tavolin.log" 2>&1 &
pid=$!
wait_for 'tray_icon >/dev/null' 100 || fail "/go left no icon in the tray host"
wait_for '[ -s "$TAVOLIN_DIR/Background.bmp" ]' 300 || fail "/go did not generate"
# Half a second for a window that should not come: absence cannot be waited for.
sleep 0.5
[ -z "$(visible_window)" ] || fail "/go showed the window"
: "$before"
# End it from the tray menu: "&Beenden".
icon="$(tray_icon)"
open_menu_on_icon "$icon" || fail "no menu on the icon after /go"
xdotool key b
wait_for '! kill -0 $pid 2>/dev/null' 50 || fail "the tray menu's Beenden did not end the program"
pid=""
echo "x11 end-to-end: all steps passed"
