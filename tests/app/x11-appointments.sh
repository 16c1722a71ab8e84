#!/usr/bin/env bash
# The appointment book of the real program in a real X session (run inside
# tests/support/run-in-x11.sh): an appointment added through the dialog by keyboard only, and
# a "Termin-Erinnerung" box appearing on its own for an appointment of the next minute.
# Usage: x11-appointments.sh PATH/TO/tavolin
source "$(dirname "$0")/x11-common.sh"
fail_extra='cat -A "$TAVOLIN_DIR/Termine.dat" 2>/dev/null'
window() { xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1; }

# An appointment in the next minute that is still ahead after start-up (the minute the
# reminders are switched on is not checked).
if [ "$(date +%S)" -gt 45 ]; then sleep 16; fi
due="$(date -d '+1 minute' '+%d.%m.%Y - %H:%M')"
printf '%s # Erinnerung im Test' "$due" >"$TAVOLIN_DIR/Termine.dat"
printf '[Programm]\r\nTermine=1\r\nDelTermine=1\r\nAlarm=1\r\n' >"$TAVOLIN_DIR/config.ini"

"$tavolin" >"$work/tavolin.log" 2>&1 &
pid=$!
wait_for '[ -n "$(window "^Tavolin by Pelmar$")" ]' 100 || fail "the dialog did not appear"
wid="$(window "^Tavolin by Pelmar$")"
activate "$wid" || fail "the window did not get the focus"

# "&Hinzfügen", type the remark into the focused field, Enter for the default button OK.
xdotool key --clearmodifiers alt+h
wait_for '[ -n "$(window "^Termin / Notiz")" ]' 50 || fail "the appointment dialog did not open"
wait_for '[ "$(xdotool getactivewindow 2>/dev/null)" = "$(window "^Termin / Notiz")" ]' 30 ||
    fail "the appointment dialog did not get the focus"
xdotool type --delay 20 "Zahnarzt"
xdotool key Return
wait_for '[ -z "$(window "^Termin / Notiz")" ]' 50 || fail "OK did not close the dialog"
today="$(date '+%d.%m.%Y')"
wait_for 'grep -q "^$today - [0-2][0-9]:[0-5][05] # Zahnarzt" "$TAVOLIN_DIR/Termine.dat"' 30 ||
    fail "the appointment was not stored"

# The reminder of the next minute, without anything done.
wait_for '[ -n "$(window "^Termin-Erinnerung$")" ]' 900 || fail "no reminder box appeared"
# Enter closes it (the added appointment may fall due in the same minute: close each box).
for _ in 1 2 3; do
    box="$(window "^Termin-Erinnerung$")"
    [ -z "$box" ] && break
    activate "$box" || true
    xdotool key Return
    wait_for '[ "$(window "^Termin-Erinnerung$")" != "$box" ]' 50 || fail "Enter did not close the reminder"
done
[ -z "$(window "^Termin-Erinnerung$")" ] || fail "reminder boxes stayed open"
kill -0 "$pid" 2>/dev/null || fail "the program ended"
echo "x11 appointments: all steps passed"
