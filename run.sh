#!/usr/bin/env bash
# Installs what is missing, builds Tavolin (Release) and starts it: in a graphical session the
# program tavolin (its settings window), otherwise the main job of tavolin-cli. Arguments go
# to the program that is started.
set -euo pipefail
cd "$(dirname "$0")"
scripts/bootstrap.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAVOLIN_BUILD_TESTS=OFF \
    -DTAVOLIN_BUILD_BENCH=OFF >/dev/null
cmake --build build/release --target tavolin-cli tavolin
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    exec build/release/src/app/tavolin "$@"
fi
exec build/release/src/cli/tavolin-cli generate "$@"
