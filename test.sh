#!/usr/bin/env bash
# Installs what is missing, builds Tavolin with its tests and runs every test through CTest.
set -euo pipefail
cd "$(dirname "$0")"
scripts/bootstrap.sh
cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/test
ctest --test-dir build/test --output-on-failure -j"$(nproc)" "$@"
