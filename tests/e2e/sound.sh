#!/usr/bin/env bash
# The demo heard through SDL's disk audio driver: the engine runs "select"
# headless until two seconds of sound (16-bit stereo, 44.1 kHz) are
# captured, which must be neither silent nor the same on both sides (the
# music is panned left of centre).
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
od -An -v -td2 -w4 "$work/audio.raw" | awk '
  { l += $1 * $1; r += $2 * $2; d += ($1 - $2) ^ 2; n++ }
  END { if (n < 22050) { print "FAIL: less than half a second captured"; exit 1 }
        l = sqrt(l / n); r = sqrt(r / n); d = sqrt(d / n)
        printf "sound: %.2f s, rms left %.0f right %.0f, left-right %.0f\n", n / 44100, l, r, d
        if (l < 300 || r < 300 || d < 0.01 * (l + r) / 2) { print "FAIL: silent, or left equals right"; exit 1 } }'
