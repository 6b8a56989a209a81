#!/usr/bin/env bash
# Scene benchmark of the whole program: plays the demo flight through
# "select" (data/flight.movie, 600 frames = 24 s of scene time) once as fast
# as the frames can be drawn, headless, and reports frames, seconds and
# frames per second as the engine prints them.  Several runs give a spread.
#   bash bench/timedemo.sh [BUILD_DIR] [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
runs=${2:-3}
[ -x "$build/Vext-Engine" ] || { echo "no $build/Vext-Engine: build first (bash scripts/build.sh)"; exit 1; }
[ -f data/flight.movie ] || { echo "no data/flight.movie: the build writes it"; exit 1; }
for _ in $(seq "$runs"); do
  "$build/Vext-Engine" --data data --headless --timedemo data/flight.movie | grep '^timedemo:'
done
