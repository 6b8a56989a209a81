#!/usr/bin/env bash
# The demo's footsteps and fire heard through SDL's disk audio driver while
# real key events (a virtual X server, xdotool) drive the camera:
#   stand on the deck the camera drops onto, then hold the walk key on it:
#     footsteps are in the capture while walking and not while standing;
#   switch collision off (noclip), fly away from the fire and back:
#     the fire's level rises over the approach (and no footsteps in the air).
# Window boundaries are the capture's size at each change, so the analysis
# (vext_soundcheck) looks at exactly the sound of each phase.
set -euo pipefail
build=$1
src=$2
fail() { echo "FAIL: $*"; [ -f "$work/engine.log" ] && tail -30 "$work/engine.log"; exit 1; }
for tool in Xvfb xdotool; do
  command -v "$tool" >/dev/null || fail "$tool is not installed (scripts/setup.sh installs it)"
done
work=$(mktemp -d)
xvfb_pid=""
engine_pid=""
cleanup() {
  [ -n "$engine_pid" ] && kill "$engine_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
cp -r "$src/data" "$work/data"

disp=""
for n in $(seq 191 240); do
  if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then disp=":$n"; break; fi
done
[ -n "$disp" ] || fail "no free X display number"
Xvfb "$disp" -screen 0 800x600x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
export DISPLAY=$disp
for _ in $(seq 1 50); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done

cd "$work/data"
audio="$work/audio.raw"
SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$audio" "$build/Vext-Engine" -window \
  >"$work/engine.log" 2>&1 &
engine_pid=$!
win=$(timeout 60 xdotool search --sync --name "Vext-Engine" | head -n1) || fail "no engine window appeared"
xdotool windowactivate --sync "$win" 2>/dev/null || xdotool windowfocus --sync "$win"
mark() { stat -c %s "$audio" 2>/dev/null || echo 0; }
hold() { xdotool keydown --window "$win" "$@"; }
release() { xdotool keyup --window "$win" "$@"; }
tap() { hold "$1"; sleep 0.25; release "$1"; sleep 0.3; }

sleep 2.5                 # the camera drops onto the deck
s0=$(mark); sleep 3; s1=$(mark)                # standing on the deck
hold w; sleep 0.3; w0=$(mark); sleep 4; w1=$(mark); release w
sleep 1; t0=$(mark); sleep 2; t1=$(mark)       # standing again
tap n                                          # collision off: fly
hold shift w; sleep 5; release w shift          # away from the fire, 20 units
sleep 0.3; f0=$(mark); sleep 2; f1=$(mark)     # hovering far off
hold shift s; a0=$(mark); sleep 1.6; a1=$(mark); sleep 1.6; a2=$(mark); sleep 1.6; a3=$(mark); sleep 0.2
release s shift
sleep 0.3; n0=$(mark); sleep 2; n1=$(mark)     # hovering back near the fire
# The engine may be gone before the key is let go: it ends within a frame.
hold Escape; sleep 0.25; release Escape 2>/dev/null || true
for _ in $(seq 1 100); do kill -0 "$engine_pid" 2>/dev/null || break; sleep 0.1; done
wait "$engine_pid" || fail "engine ended with an error"
engine_pid=""
if grep -q "nicht abspielbar\|nicht gefunden" "$work/engine.log"; then fail "a demo sound did not load"; fi

"$build/tests/vext_soundcheck" "$audio" levels/select/steps stand:$s0:$s1 walk:$w0:$w1 stand2:$t0:$t1 \
  far:$f0:$f1 approach1:$a0:$a1 approach2:$a1:$a2 approach3:$a2:$a3 near:$n0:$n1 | tee "$work/result"
awk '
  { name = $1; steps[name] = $5 + 0; fire[name] = $NF + 0 }
  END {
    bad = 0
    if (steps["walk"] < 2) { print "FAIL: no footsteps while walking on the deck"; bad = 1 }
    if (steps["stand"] + steps["stand2"] > 0) { print "FAIL: footsteps while standing"; bad = 1 }
    if (steps["far"] + steps["near"] > 0) { print "FAIL: footsteps while flying"; bad = 1 }
    if (fire["near"] < 1.8 * fire["far"]) { print "FAIL: the fire is not louder near it"; bad = 1 }
    if (!(fire["approach1"] < fire["approach2"] && fire["approach2"] < fire["approach3"])) {
      print "FAIL: the fire does not grow louder over the approach"; bad = 1 }
    exit bad }' "$work/result" || exit 1
echo "soundwalk: footsteps while walking, none standing; the fire rises over the approach"
