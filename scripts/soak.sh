#!/usr/bin/env bash
# Soak run: the demo headless for many frames (default 20000), reporting
# resident memory at the first and the last frame, start-up to the first
# frame and the level change times.  Usage: scripts/soak.sh [FRAMES]
# Not part of the test run; the figures are for reading, not asserting.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${VEXT_BUILD:-build}
frames=${1:-20000}
[ -f "$build/CMakeCache.txt" ] || cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target vext_soak Spielmod Klangmod_mod >/dev/null
"$build/vext_soak" --data "$PWD/data" --frames "$frames" | grep '^soak ' | sed 's/^soak //'
