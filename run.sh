#!/usr/bin/env bash
# Installs what is missing, builds Tavolin (Release) and runs the main job.
# Arguments go to the main job.
set -euo pipefail
cd "$(dirname "$0")"
scripts/bootstrap.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAVOLIN_BUILD_TESTS=OFF >/dev/null
cmake --build build/release --target tavolin-cli
exec build/release/src/cli/tavolin-cli generate "$@"
