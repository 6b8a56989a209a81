#!/usr/bin/env bash
# Builds and starts the engine on the demo data: in a window when there is a
# display, otherwise headless for a fixed number of frames.  Extra arguments
# go to the engine (for example -window or --level NAME).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec build/Vext-Engine --data data -window "$@"
else
  exec build/Vext-Engine --data data --headless --frames 300 "$@"
fi
