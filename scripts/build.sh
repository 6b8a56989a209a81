#!/usr/bin/env bash
# Configures and builds into build/ (or $VEXT_BUILD).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
build=${VEXT_BUILD:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)"
