#!/usr/bin/env bash
# Screenshots of the settings window and the appointment dialog in German and English at 100 %
# and 150 % scaling, into docs/screenshots/ (dialog-de-100.png, termin-en-150.png, ...).
# Runs the real program in a private X session.
# Usage: scripts/screenshots.sh PATH/TO/tavolin
set -eu
root="$(cd "$(dirname "$0")/.." && pwd)"
if [ -z "${DISPLAY:-}" ] || [ -z "${TAVOLIN_SHOTS_INSIDE:-}" ]; then
    exec env TAVOLIN_SHOTS_INSIDE=1 "$root/tests/support/run-in-x11.sh" "$0" "$@"
fi
tavolin="$(realpath "$1")"
out="$root/docs/screenshots"
mkdir -p "$out"
work="$(mktemp -d)"
# The trap runs under set -e too: a kill of a program that has already gone must not fail it.
trap '[ -n "${pid:-}" ] && kill "$pid" 2>/dev/null; rm -rf "$work"' EXIT

window_named() {
    for _ in $(seq 100); do  # 10 s: a loaded machine starts Qt programs slowly
        w="$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1)"
        [ -n "$w" ] && { echo "$w"; return 0; }
        sleep 0.1
    done
    return 1
}

for lang in de en; do
    case $lang in
        de) locale=de_DE.UTF-8 title='^Termin / Notiz' add=alt+h ;;
        en) locale=en_GB.UTF-8 title='^Add appointment' add=alt+d ;;
    esac
    for scale in 100 150; do
        data="$work/$lang-$scale"
        mkdir -p "$data"
        printf 'Notiz # Geschenk besorgen\r\n24.12.2030 - 18:00 # Bescherung' >"$data/Termine.dat"
        printf '[Programm]\r\nTermine=1\r\n' >"$data/config.ini"
        factor=$([ $scale = 150 ] && echo 1.5 || echo 1)
        TAVOLIN_DIR="$data" LANG=$locale LC_ALL= LANGUAGE= QT_SCALE_FACTOR=$factor \
            "$tavolin" >"$work/log" 2>&1 &
        pid=$!
        main="$(window_named '^Tavolin by Pelmar$')" || { cat "$work/log"; exit 1; }
        sleep 0.5
        import -frame -window "$main" "$out/dialog-$lang-$scale.png"
        # The appointment dialog through the list's "&Hinzfügen" ("A&dd") button.
        termin=""
        for _ in 1 2 3 4 5; do
            xdotool windowactivate --sync "$main" >/dev/null 2>&1 || true
            xdotool windowfocus --sync "$main" >/dev/null 2>&1 || true
            xdotool key --clearmodifiers "$add" >/dev/null 2>&1 || true
            if termin="$(window_named "$title")"; then break; fi
        done
        if [ -n "$termin" ]; then
            sleep 0.4
            import -frame -window "$termin" "$out/termin-$lang-$scale.png"
            xdotool key --window "$termin" Escape || true
        else
            echo "no appointment dialog for $lang $scale" >&2
        fi
        kill $pid 2>/dev/null || true
        wait $pid 2>/dev/null || true
        pid=""
    done
done
ls -l "$out"
