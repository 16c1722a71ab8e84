#!/usr/bin/env bash
# Idle cost of tavolin waiting in the notification area: starts "tavolin /go" in a private X
# session with a tray host, lets it settle, then samples its CPU time and resident memory.
# Usage: bench/app-idle.sh PATH/TO/tavolin [SECONDS]   (default 30 s of sampling)
set -eu
if [ -z "${DISPLAY:-}" ] || [ -z "${TAVOLIN_IDLE_INNER:-}" ]; then
    export TAVOLIN_IDLE_INNER=1
    exec "$(dirname "$0")/../tests/support/run-in-x11.sh" "$0" "$@"
fi
tavolin="$1"
seconds="${2:-30}"
work="$(mktemp -d)"
trap 'kill "$pid" 2>/dev/null; rm -rf "$work"' EXIT
export TAVOLIN_DIR="$work"
# A config.ini made by a normal start's rules, then the silent start.
printf '[Background]\r\nBGArt=0\r\n[Layout]\r\nKArt=2\r\n[Programm]\r\nTermine=0\r\n' >"$work/config.ini"
"$tavolin" /go >"$work/log" 2>&1 &
pid=$!
for _ in $(seq 100); do [ -s "$work/Background.bmp" ] && break; sleep 0.1; done
sleep 3  # the generation and the hand-over have ended
ticks=$(getconf CLK_TCK)
cpu() { awk '{ print $14 + $15 }' "/proc/$pid/stat"; }
c0=$(cpu)
t0=$(date +%s.%N)
sleep "$seconds"
c1=$(cpu)
t1=$(date +%s.%N)
rss=$(awk '/^VmRSS/ { print $2 }' "/proc/$pid/status")
hwm=$(awk '/^VmHWM/ { print $2 }' "/proc/$pid/status")
awk -v c0="$c0" -v c1="$c1" -v t0="$t0" -v t1="$t1" -v hz="$ticks" -v rss="$rss" -v hwm="$hwm" 'BEGIN {
    wall = t1 - t0; cpu = (c1 - c0) / hz
    printf "idle in the notification area over %.1f s: CPU %.3f s = %.3f %% of one core; resident %.1f MB (peak %.1f MB)\n",
        wall, cpu, 100 * cpu / wall, rss / 1024, hwm / 1024 }'
