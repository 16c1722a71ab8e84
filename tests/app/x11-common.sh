# Shared set-up of the real-program scripts (sourced): a private data directory, fail() that
# shows the window tree and the program's log, wait_for COND TENTHS. A script may set
# fail_extra to a command that prints more on failure.
set -u
tavolin="$1"
work="$(mktemp -d)"
export TAVOLIN_DIR="$work/data" XDG_DATA_HOME="$work/xdg"
mkdir -p "$TAVOLIN_DIR" "$XDG_DATA_HOME"
pid=""
fail_extra=":"
fail() {
    echo "FAIL: $*" >&2
    [ -n "$pid" ] && kill "$pid" 2>/dev/null
    xwininfo -root -tree >&2
    cat "$work/tavolin.log" >&2 2>/dev/null
    eval "$fail_extra" >&2
    rm -rf "$work"
    exit 1
}
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$work"' EXIT
# Waits up to $2 tenths of a second for the shell condition $1.
wait_for() {
    for _ in $(seq "$2"); do
        eval "$1" && return 0
        sleep 0.1
    done
    return 1
}
# Activates window $1 and waits until it has the input focus.
activate() {
    xdotool windowactivate --sync "$1" >/dev/null 2>&1 || xdotool windowfocus --sync "$1" >/dev/null 2>&1
    wait_for "[ \"\$(xdotool getactivewindow 2>/dev/null)\" = $1 ]" 30
}
# The program's shown windows, pop-up menus included (Qt maps a menu as a window of its own).
shown_windows() { xdotool search --onlyvisible --class '^tavolin$' 2>/dev/null | wc -l; }
# Runs the command "$@" (a key or a click that opens a menu) and waits until the menu is shown.
open_menu() {
    local before
    before="$(shown_windows)"
    "$@"
    wait_for '[ "$(shown_windows)" -gt "$before" ]' 30
}
# Right-clicks the tray icon until its menu shows: a just-docked icon may miss the first click
# while the program under a slow (sanitizer) build is still setting it up.
open_menu_on_icon() {
    local try
    for try in 1 2 3; do
        open_menu xdotool mousemove --window "$1" 8 8 click 3 && return 0
    done
    return 1
}
# Runs "$@" (a key that closes a menu) and waits until one window fewer is shown.
close_menu() {
    local before
    before="$(shown_windows)"
    "$@"
    wait_for '[ "$(shown_windows)" -lt "$before" ]' 30
}
