#!/usr/bin/env bash
# What tavolin costs while it waits, in a private X session with a tray host:
#  - hidden ("tavolin /go" in the notification area): wake-ups per second (context switches of
#    all its threads), CPU and resident memory;
#  - visible (a normal start, the title icon turning): CPU of the program, the X server and the
#    window manager together;
#  - start to first window.
# Usage: bench/app-idle.sh PATH/TO/tavolin [SECONDS]   (default 20 s of sampling each)
set -eu
if [ -z "${DISPLAY:-}" ] || [ -z "${TAVOLIN_IDLE_INNER:-}" ]; then
    export TAVOLIN_IDLE_INNER=1
    exec "$(dirname "$0")/../tests/support/run-in-x11.sh" "$0" "$@"
fi
tavolin="$1"
seconds="${2:-20}"
work="$(mktemp -d)"
pid=""
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$work"' EXIT
export TAVOLIN_DIR="$work"
ticks=$(getconf CLK_TCK)
# CPU ticks of the processes given.
cpu() { local s=0 p; for p in "$@"; do s=$((s + $(awk '{ print $14 + $15 }' "/proc/$p/stat"))); done; echo $s; }
# Context switches of every thread of a process: each is a wake-up (or a preemption).
switches() {
    cat /proc/"$1"/task/*/status | awk '/^(voluntary|nonvoluntary)_ctxt_switches/ { s += $2 } END { print s }'
}
# The X server and the window manager of this session: started by run-in-x11.sh beside us.
session_pids() { ps -o pid=,comm= --ppid "$PPID"; }

# --- Hidden ---------------------------------------------------------------------------------
printf '[Background]\r\nBGArt=0\r\n[Layout]\r\nKArt=2\r\n[Programm]\r\nTermine=0\r\nAlarm=0\r\n' >"$work/config.ini"
"$tavolin" /go >"$work/log" 2>&1 &
pid=$!
for _ in $(seq 100); do [ -s "$work/Background.bmp" ] && break; sleep 0.1; done
sleep 3  # the generation and the hand-over have ended
c0=$(cpu "$pid"); w0=$(switches "$pid"); t0=$(date +%s.%N)
sleep "$seconds"
c1=$(cpu "$pid"); w1=$(switches "$pid"); t1=$(date +%s.%N)
rss=$(awk '/^VmRSS/ { print $2 }' "/proc/$pid/status")
hwm=$(awk '/^VmHWM/ { print $2 }' "/proc/$pid/status")
awk -v c0="$c0" -v c1="$c1" -v w0="$w0" -v w1="$w1" -v t0="$t0" -v t1="$t1" -v hz="$ticks" \
    -v rss="$rss" -v hwm="$hwm" 'BEGIN {
    wall = t1 - t0; cpu = (c1 - c0) / hz
    printf "hidden in the notification area over %.1f s: %.2f wake-ups/s, CPU %.3f %% of one core; resident %.1f MB (peak %.1f MB)\n",
        wall, (w1 - w0) / wall, 100 * cpu / wall, rss / 1024, hwm / 1024 }'
kill "$pid"; wait "$pid" 2>/dev/null || true

# --- Visible --------------------------------------------------------------------------------
start=$(date +%s%N)
"$tavolin" >"$work/log" 2>&1 &
pid=$!
for _ in $(seq 200); do
    xdotool search --onlyvisible --name '^Tavolin by Pelmar$' >/dev/null 2>&1 && break
    sleep 0.02
done
shown=$(date +%s%N)
sleep 2
xserver=$(session_pids | awk '$2 == "Xvfb" { print $1 }')
wm=$(session_pids | awk '$2 == "openbox" { print $1 }')
if [ -z "$xserver" ] || [ -z "$wm" ]; then
    echo "app-idle: the session's X server or window manager was not found" >&2
    exit 1
fi
p0=$(cpu "$pid"); x0=$(cpu "$xserver"); m0=$(cpu "$wm"); w0=$(switches "$pid"); t0=$(date +%s.%N)
sleep "$seconds"
p1=$(cpu "$pid"); x1=$(cpu "$xserver"); m1=$(cpu "$wm"); w1=$(switches "$pid"); t1=$(date +%s.%N)
awk -v p0="$p0" -v p1="$p1" -v x0="$x0" -v x1="$x1" -v m0="$m0" -v m1="$m1" \
    -v w0="$w0" -v w1="$w1" -v t0="$t0" -v t1="$t1" -v hz="$ticks" \
    -v first="$(( (shown - start) / 1000000 ))" 'BEGIN {
    wall = t1 - t0
    pc = 100 * (p1 - p0) / hz / wall; xc = 100 * (x1 - x0) / hz / wall; mc = 100 * (m1 - m0) / hz / wall
    printf "start to first window: %d ms\n", first
    printf "visible over %.1f s: CPU of one core: program %.2f %%, X server %.2f %%, window manager %.2f %%, together %.2f %%; program %.1f wake-ups/s\n",
        wall, pc, xc, mc, pc + xc + mc, (w1 - w0) / wall }'
