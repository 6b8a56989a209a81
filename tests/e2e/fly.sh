#!/usr/bin/env bash
# Flies the demo level with real key events: under a virtual X server the
# engine opens a real window; xdotool holds the forward key, takes
# screenshots through the bound ScreenshotPPM key, shows the frame rate and
# ends the program with Escape.
set -euo pipefail
build=$1
src=$2
. "$(dirname "$0")/../support/xvfb.sh"
window_run_setup "$src"

cd "$work/data"
start_engine
press F1                    # show the frame rate
sleep 1.2                   # a whole second slot so that fps is not 0
shot "$work/start.ppm"
# Shift is bound to a faster move speed for as long as it is held.
xdotool keydown --window "$win" shift w
sleep 1.5
xdotool keyup --window "$win" w shift
sleep 0.3
shot "$work/moved.ppm"

# Key 2 loads the level "second" (one-colour sky); the engine says GO when done.
press 2
for _ in $(seq 1 150); do grep -q "GO" "$work/engine.log" && break; sleep 0.1; done
grep -q "GO" "$work/engine.log" || fail "map did not load the second level"
sleep 0.5
shot "$work/second.ppm"
stop_engine
# The level change ended the first game and sound modules and started new ones.
[ "$(grep -c "Klangmodul PPC Version gefunden" "$work/engine.log")" -ge 2 ] || fail "no new sound module"
[ "$(grep -c "Engine: Gamemodul, kannst gehen" "$work/engine.log")" -ge 2 ] || fail "first game not ended"

"$build/tests/vext_shotcheck" --moved "$work/start.ppm" "$work/moved.ppm" \
  || fail "the view did not change while forward was held"
"$build/tests/vext_shotcheck" --moved "$work/moved.ppm" "$work/second.ppm" \
  || fail "the second level looks like the first"
"$build/tests/vext_shotcheck" "$work/start.ppm" "$work/moved.ppm" || fail "screenshots do not show the level"
# VEXT_E2E_KEEP=DIR keeps the two screenshots for a look.
[ -n "${VEXT_E2E_KEEP:-}" ] && cp "$work/start.ppm" "$work/moved.ppm" "$work/second.ppm" "$VEXT_E2E_KEEP/"
echo "fly: all checks passed"
