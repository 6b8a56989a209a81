#!/usr/bin/env bash
# The demo heard through SDL's disk audio driver: the engine runs "select"
# headless until two seconds of sound are captured, and soundcheck finds
# them neither silent nor the same on both sides.
set -euo pipefail
build=$1
src=$2
work=$(mktemp -d)
pid=""
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$work"' EXIT
cp -r "$src/data" "$work/data"
cd "$work/data"
SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/audio.raw" "$build/Vext-Engine" --headless >"$work/log" 2>&1 &
pid=$!
for _ in $(seq 600); do   # 2 s of 44.1 kHz 16-bit stereo, or give up after a minute
  [ "$(stat -c %s "$work/audio.raw" 2>/dev/null || echo 0)" -ge 352800 ] && break
  kill -0 "$pid" 2>/dev/null || { cat "$work/log"; echo "FAIL: engine ended early"; exit 1; }
  sleep 0.1
done
kill "$pid"; wait "$pid" 2>/dev/null || true; pid=""
if grep -q "nicht abspielbar\|nicht gefunden" "$work/log"; then
  cat "$work/log"; echo "FAIL: a demo sound did not load"; exit 1
fi
"$build/tests/vext_soundcheck" "$work/audio.raw"
