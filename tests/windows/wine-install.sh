#!/usr/bin/env bash
# The installer under Wine (run inside tests/support/run-in-x11.sh with a fresh WINEPREFIX):
# a silent install into Program Files with a Start-menu entry, the installed program starts
# and makes its files, a silent uninstall removes the program and leaves the user's files.
# Usage: wine-install.sh PATH/TO/TavolinSetup.exe
set -u
setup="$1"
wine=$(command -v wine64 || command -v wine)
export WINEDEBUG=-all
# The X session's Qt settings mean nothing to the Windows Qt (its only platform is "windows").
unset QT_QPA_PLATFORM QT_PLUGIN_PATH
unset TAVOLIN_DIR
drive_c="$WINEPREFIX/drive_c"
program_dir="$drive_c/Program Files/Tavolin"
start_menu="$drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs"
pid=""
fail() {
    echo "FAIL: $*" >&2
    [ -n "$pid" ] && kill "$pid" 2>/dev/null
    find "$drive_c/Program Files/Tavolin" "$drive_c/users" -iname '*tavolin*' >&2 2>/dev/null
    exit 1
}
wait_for() {
    for _ in $(seq "$2"); do
        eval "$1" && return 0
        sleep 0.1
    done
    return 1
}
visible_window() { xdotool search --onlyvisible --name '^Tavolin by Pelmar$' 2>/dev/null | head -1; }
uninstall_key() {
    "$wine" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tavolin' \
        /v DisplayName >/dev/null 2>&1
}

"$wine" "$(winepath -w "$setup")" /S || fail "the installer failed with status $?"
for f in tavolin.exe tavolin-cli.exe Qt6Core.dll Qt6Gui.dll Qt6Widgets.dll \
    platforms/qwindows.dll Uninstall.exe; do
    [ -f "$program_dir/$f" ] || fail "not installed: $f"
done
[ -f "$start_menu/Tavolin.lnk" ] || fail "no Start-menu entry"
uninstall_key || fail "no uninstall entry in the registry"

# The installed program: a normal start makes config.ini where the data directory rule says.
"$wine" "C:\\Program Files\\Tavolin\\tavolin.exe" >/dev/null 2>&1 &
pid=$!
wait_for '[ -n "$(visible_window)" ]' 600 || fail "the installed program showed no window"
config=""
wait_for 'config=$(find "$program_dir" "$drive_c/users" -name config.ini 2>/dev/null | head -n1); [ -n "$config" ]' 100 ||
    fail "the installed program made no config.ini"
echo "wine install: the program keeps its files in ${config%/config.ini}"
wid="$(visible_window)"
xdotool windowactivate --sync "$wid" >/dev/null 2>&1 || true
xdotool key --clearmodifiers alt+p
sleep 0.5
xdotool key b
wait_for '! kill -0 $pid 2>/dev/null' 100 || fail "Beenden did not end the installed program"
pid=""

# The uninstaller copies itself away and returns at once: wait for its work instead.
"$wine" "C:\\Program Files\\Tavolin\\Uninstall.exe" /S || fail "the uninstaller failed with status $?"
wait_for '[ ! -e "$program_dir/tavolin.exe" ] && ! uninstall_key' 600 ||
    fail "the uninstaller left the program"
for f in tavolin-cli.exe Qt6Core.dll platforms/qwindows.dll Uninstall.exe; do
    [ ! -e "$program_dir/$f" ] || fail "left after uninstalling: $f"
done
[ ! -e "$start_menu/Tavolin.lnk" ] || fail "the Start-menu entry stayed"
[ -f "$config" ] || fail "uninstalling removed the user's config.ini"
echo "wine install: all steps passed"
