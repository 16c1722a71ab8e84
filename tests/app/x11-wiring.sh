#!/usr/bin/env bash
# The window never waits on a file: with another process holding config.ini.lock (and then
# Termine.dat.lock) the real program collapses its appointment area on Alt+T at once, and the
# changes made meanwhile reach the files, in order, once the lock is free. Then the program is
# ended in the middle of a generation whose screen tools and desktop tools hang: it must be gone
# within a second. Prints the figures it measured.
# Usage: x11-wiring.sh PATH/TO/tavolin
source "$(dirname "$0")/x11-common.sh"
visible_window() { xdotool search --onlyvisible --name '^Tavolin by Pelmar$' 2>/dev/null | head -1; }
config_value() { tr -d '\r' <"$TAVOLIN_DIR/config.ini" | grep "^$1=" | cut -d= -f2; }
height() { xwininfo -id "$1" | awk '/Height:/ { print $2 }'; }
now_ms() { date +%s%3N; }

# Tools that would hang for half a minute: whatever the program starts to measure the screen or
# hand the picture over must be stopped when it ends.
mkdir -p "$work/bin"
for tool in xrandr xdpyinfo wlr-randr swaymsg gsettings xfconf-query pcmanfm pcmanfm-qt feh \
    xwallpaper hsetroot xsetroot nitrogen qdbus dbus-send plasma-apply-wallpaperimage; do
    printf '#!/bin/sh\nsleep 30\n' >"$work/bin/$tool"
    chmod +x "$work/bin/$tool"
done

printf '[Programm]\r\nTermine=1\r\nAlarm=0\r\nDelTermine=1\r\n[Layout]\r\nKArt=2\r\n' >"$TAVOLIN_DIR/config.ini"
PATH="$work/bin:$PATH" "$tavolin" >"$work/tavolin.log" 2>&1 &
pid=$!
wait_for '[ -n "$(visible_window)" ]' 100 || fail "the dialog did not appear"
wid="$(visible_window)"
activate "$wid" || fail "the window did not get the focus"
full="$(height "$wid")"

# No maximise button: the window manager is told the window has no maximise function
# (_MOTIF_WM_HINTS: flags, functions, decorations; MWM_FUNC_MAXIMIZE = 16, MWM_FUNC_ALL = 1).
hints="$(xprop -id "$wid" _MOTIF_WM_HINTS | sed 's/.*= //')"
functions="$(echo "$hints" | cut -d, -f2 | tr -d ' ')"
[ -n "$functions" ] || fail "no _MOTIF_WM_HINTS on the window"
if [ $((functions & 1)) -ne 0 ] || [ $((functions & 16)) -ne 0 ]; then
    fail "the window offers maximising (_MOTIF_WM_HINTS $hints)"
fi

# --- config.ini.lock held by another process -----------------------------------------------
flock "$TAVOLIN_DIR/config.ini" true  # makes the lock file
flock -o "$TAVOLIN_DIR/config.ini.lock" sleep 10 &  # -o: killing flock frees the lock
holder=$!
wait_for '! flock -n "$TAVOLIN_DIR/config.ini.lock" true' 30 || fail "the lock was not taken"
start=$(now_ms)
xdotool key --clearmodifiers alt+t
wait_for '[ "$(height "$wid")" -lt "$full" ]' 20 || fail "Alt+T did not collapse the window at once while config.ini was locked"
collapse_ms=$(( $(now_ms) - start ))
# Two more changes while the lock is held: "&1 Monat", then "&Ohne Datum".
xdotool key --clearmodifiers alt+1
xdotool key --clearmodifiers alt+o
sleep 0.5  # nothing may reach the file while it is locked
[ "$(config_value Termine)" = 1 ] || fail "config.ini changed while another process held its lock"
kill "$holder" 2>/dev/null
wait "$holder" 2>/dev/null
wait_for '[ "$(config_value Termine)" = 0 ] && [ "$(config_value KArt)" = 4 ]' 50 ||
    fail "the changes made under the lock did not reach config.ini in order (Termine=$(config_value Termine) KArt=$(config_value KArt))"

# --- Termine.dat.lock held: switching the expiry mode tidies the file on the worker -----------
xdotool key --clearmodifiers alt+t  # open again
wait_for '[ "$(height "$wid")" -eq "$full" ]' 20 || fail "Alt+T did not open the area again"
printf '01.01.2001 - 10:00 # alt\r\n' >"$TAVOLIN_DIR/Termine.dat"
flock -o "$TAVOLIN_DIR/Termine.dat.lock" sleep 10 &
holder=$!
wait_for '! flock -n "$TAVOLIN_DIR/Termine.dat.lock" true' 30 || fail "the lock was not taken"
xdotool key --clearmodifiers alt+e  # "T&ermine löschen" off: tidies Termine.dat
start=$(now_ms)
xdotool key --clearmodifiers alt+t
wait_for '[ "$(height "$wid")" -lt "$full" ]' 20 || fail "Alt+T did not collapse the window at once while Termine.dat was locked"
collapse2_ms=$(( $(now_ms) - start ))
kill "$holder" 2>/dev/null
wait "$holder" 2>/dev/null
wait_for '[ "$(config_value DelTermine)" = 0 ] && ! grep -q "01.01.2001" "$TAVOLIN_DIR/Termine.dat"' 50 ||
    fail "the tidy-up asked for under the lock did not happen once it was free"

# --- Ending the program during a generation whose tools hang -----------------------------------
open_menu xdotool key --clearmodifiers alt+p || fail "alt+p did not open the menu"
xdotool key e
# The generation reaches its hand-over: the hanging tool is running.
wait_for 'pgrep -f "$work/bin/" >/dev/null' 50 || fail "the generation started no desktop tool"
open_menu xdotool key --clearmodifiers alt+p || fail "alt+p did not open the menu"
start=$(now_ms)
xdotool key b
wait_for '! kill -0 $pid 2>/dev/null' 30 || fail "the program did not end within 3 s while a tool hung"
close_ms=$(( $(now_ms) - start ))
pid=""
[ "$close_ms" -lt 1000 ] || fail "ending took ${close_ms} ms"
echo "x11 wiring: collapse under config.ini lock ${collapse_ms} ms, under Termine.dat lock ${collapse2_ms} ms, close during a hanging hand-over ${close_ms} ms"
