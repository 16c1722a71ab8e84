#!/usr/bin/env bash
# Runs a command inside a private X11 session: a fresh Xvfb server, the openbox window manager,
# a trayer notification area and a private session bus. Everything started here is stopped
# again when the command ends; the command's exit status is passed on.
# Usage: run-in-x11.sh COMMAND [ARGS...]
set -u

for tool in Xvfb openbox trayer dbus-daemon; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "run-in-x11: $tool is not installed (scripts/bootstrap.sh installs it)" >&2
        exit 1
    fi
done

work="$(mktemp -d)"
pids=()
cleanup() {
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null; done
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Xvfb picks a free display number itself and writes it to the given descriptor.
exec 3>"$work/display"
Xvfb -displayfd 3 -noreset -screen 0 1280x800x24 -nolisten tcp -auth /dev/null >"$work/xvfb.log" 2>&1 &
pids+=($!)
exec 3>&-
for _ in $(seq 100); do
    [ -s "$work/display" ] && break
    sleep 0.05
done
if [ ! -s "$work/display" ]; then
    echo "run-in-x11: Xvfb did not start" >&2
    cat "$work/xvfb.log" >&2
    exit 1
fi
export DISPLAY=":$(head -n1 "$work/display")"
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
unset WAYLAND_DISPLAY XDG_CURRENT_DESKTOP DESKTOP_SESSION GNOME_DESKTOP_SESSION_ID KDE_FULL_SESSION
export QT_QPA_PLATFORM=xcb

dbus-daemon --session --fork --nopidfile --address="unix:path=$work/bus" \
    --print-pid=4 4>"$work/bus.pid" >/dev/null 2>&1 && pids+=("$(cat "$work/bus.pid")")
export DBUS_SESSION_BUS_ADDRESS="unix:path=$work/bus"

openbox --sm-disable >"$work/openbox.log" 2>&1 &
pids+=($!)
trayer --edge top --align right --widthtype request --height 24 --transparent false \
    >"$work/trayer.log" 2>&1 &
pids+=($!)
# Wait until the window manager runs and the tray host has its window, so the command finds
# both (a loaded machine may take seconds).
ready=0
for _ in $(seq 400); do
    if xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' &&
        xdotool search --class trayer >/dev/null 2>&1; then
        ready=1
        break
    fi
    sleep 0.05
done
if [ "$ready" != 1 ]; then
    echo "run-in-x11: openbox or trayer did not come up" >&2
    cat "$work/openbox.log" "$work/trayer.log" >&2
    exit 1
fi
sleep 0.3

"$@"
status=$?
if [ "$status" != 0 ]; then
    echo "run-in-x11: the command exited with $status; the session's logs follow" >&2
    cat "$work/xvfb.log" "$work/openbox.log" "$work/trayer.log" >&2 2>/dev/null
fi
exit "$status"
