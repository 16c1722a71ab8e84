#!/usr/bin/env bash
# The installer under Wine (run inside tests/support/run-in-x11.sh with a fresh WINEPREFIX):
# a silent install into Program Files with a Start-menu entry, the installed program starts
# and makes its files, a silent uninstall removes the program and leaves the user's files.
# Usage: wine-install.sh PATH/TO/TavolinSetup.exe
set -u
setup="$1"
# The work folder, fail(), wait_for and activate of the Linux program's tests.
. "$(dirname "$0")/../app/x11-common.sh" "$setup"
unset TAVOLIN_DIR
wine=$(command -v wine64 || command -v wine)
export WINEDEBUG=-all
# The X session's Qt settings mean nothing to the Windows Qt (its only platform is "windows").
unset QT_QPA_PLATFORM QT_PLUGIN_PATH
drive_c="$WINEPREFIX/drive_c"
program_dir="$drive_c/Program Files/Tavolin"
start_menu="$drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs"
fail_extra='find "$program_dir" "$drive_c/users" -iname "*tavolin*"'
visible_window() { xdotool search --onlyvisible --name '^Tavolin by Pelmar$' 2>/dev/null | head -1; }
uninstall_key() {
    "$wine" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tavolin' \
        /v DisplayName >/dev/null 2>&1
}

"$wine" "$(winepath -w "$setup")" /S || fail "the installer failed with status $?"
for f in tavolin.exe tavolin-cli.exe Qt6Core.dll Qt6Gui.dll Qt6Widgets.dll \
    platforms/qwindows.dll styles/qwindowsvistastyle.dll Uninstall.exe; do
    [ -f "$program_dir/$f" ] || fail "not installed: $f"
done
[ -f "$start_menu/Tavolin.lnk" ] || fail "no Start-menu entry"
uninstall_key || fail "no uninstall entry in the registry"

# The installed program: a normal start makes config.ini in %APPDATA%\Tavolin, never beside
# itself (Wine lets every program write into Program Files, as an elevated run on Windows can).
"$wine" "C:\\Program Files\\Tavolin\\tavolin.exe" >"$work/tavolin.log" 2>&1 &
pid=$!
wait_for '[ -n "$(visible_window)" ]' 600 || fail "the installed program showed no window"
appdata="$(winepath -u "$("$wine" cmd /c echo %APPDATA% 2>/dev/null | tr -d '\r')" 2>/dev/null)"
[ -d "$appdata" ] || fail "no %APPDATA% folder: '$appdata'"
config="$appdata/Tavolin/config.ini"
wait_for '[ -f "$config" ]' 100 || fail "the installed program made no $config"
[ ! -e "$program_dir/config.ini" ] || fail "the installed program wrote config.ini beside itself"
echo "wine install: the program keeps its files in ${config%/config.ini}"
wid="$(visible_window)"
activate "$wid" || true
xdotool key --clearmodifiers alt+p
sleep 0.5
xdotool key b
wait_for '! kill -0 $pid 2>/dev/null' 100 || fail "Beenden did not end the installed program"
pid=""

# An autostart shortcut of this user would start a program that is gone: it goes too.
# Wine's folder is "StartUp"; Linux sees the case, Windows programs do not.
startup="$(find "$appdata/Microsoft/Windows/Start Menu/Programs" -maxdepth 1 -iname startup | head -n1)"
[ -n "$startup" ] || fail "no Startup folder in the Wine prefix"
printf 'L' >"$startup/Tavolin.lnk"

# The uninstaller copies itself away and returns at once: wait for its work instead.
"$wine" "C:\\Program Files\\Tavolin\\Uninstall.exe" /S || fail "the uninstaller failed with status $?"
wait_for '[ ! -e "$program_dir/tavolin.exe" ] && ! uninstall_key' 600 ||
    fail "the uninstaller left the program"
for f in tavolin-cli.exe Qt6Core.dll platforms/qwindows.dll Uninstall.exe; do
    [ ! -e "$program_dir/$f" ] || fail "left after uninstalling: $f"
done
[ ! -e "$program_dir" ] || fail "the program folder stayed: $(ls -A "$program_dir" | tr '\n' ' ')"
[ ! -e "$start_menu/Tavolin.lnk" ] || fail "the Start-menu entry stayed"
[ ! -e "$startup/Tavolin.lnk" ] || fail "the autostart shortcut stayed"
[ -f "$config" ] || fail "uninstalling removed the user's config.ini"
echo "wine install: all steps passed"
