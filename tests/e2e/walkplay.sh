#!/usr/bin/env bash
# The demo driven by real keys under a virtual X server (xdotool), its sound
# captured by SDL's disk driver; window boundaries in the capture are its
# size at each change.
#  1. On the deck the camera drops onto: footsteps while walking, none while
#     standing.  2. Collision off (N): flying away from the fire and back,
#     its level rises over the approach, no footsteps in the air.
#  3. F10 plays the demo flight (as recfile.movie) while F11 grabs frames:
#     numbered without gaps, each the finished scene, the view follows the
#     path.  4. --timedemo plays the flight once and reports its numbers.
set -euo pipefail
build=$1
. "$(dirname "$0")/../support/xvfb.sh"
window_run_setup "$2"
cd "$work/data" && rm -rf SCRSHT && cp flight.movie recfile.movie
audio=$work/audio.raw
engine_audio=disk SDL_DISKAUDIOFILE=$audio start_engine
mark() { stat -c %s "$audio"; }
hold() { xdotool keydown --window "$win" "$@"; }
release() { xdotool keyup --window "$win" "$@"; }

sleep 1; press F1                                     # on the deck; frame rate shown
s0=$(mark); sleep 3; s1=$(mark)                       # standing
hold w; sleep 0.3; w0=$(mark); sleep 4; w1=$(mark); release w
sleep 1; t0=$(mark); sleep 2; t1=$(mark)              # standing again
press n; hold shift w; sleep 5; release w shift        # fly 20 units away from the fire
sleep 0.3; f0=$(mark); sleep 2; f1=$(mark)            # far
hold shift s; a0=$(mark); sleep 1.6; a1=$(mark); sleep 1.6; a2=$(mark); sleep 1.6; a3=$(mark); sleep 0.2
release s shift; sleep 0.3; n0=$(mark); sleep 2; n1=$(mark)   # back near the fire
press F10; press F11                                  # play the flight, grab
for _ in $(seq 100); do [ "$(ls SCRSHT | wc -l)" -ge 30 ] && break; sleep 0.1; done
press F11
stop_engine
! grep -q "nicht abspielbar\|nicht gefunden" "$work/engine.log" || fail "a demo sound did not load"

"$build/tests/vext_soundcheck" "$audio" levels/select/steps stand:$s0:$s1 walk:$w0:$w1 stand2:$t0:$t1 \
  far:$f0:$f1 approach1:$a0:$a1 approach2:$a1:$a2 approach3:$a2:$a3 near:$n0:$n1 | tee "$work/heard"
awk '{ steps[$1] = $5; fire[$1] = $NF }
  END { if (steps["walk"] < 2) print "FAIL: no footsteps while walking on the deck"
        if (steps["stand"] + steps["stand2"] + steps["far"] + steps["near"] > 0) print "FAIL: footsteps without walking"
        if (fire["near"] < 1.5 * fire["far"] || !(fire["approach1"] < fire["approach2"] && fire["approach2"] < fire["approach3"]))
          print "FAIL: the fire does not grow louder over the approach" }' "$work/heard" | grep FAIL && exit 1

count=$(ls SCRSHT | wc -l)
[ "$count" -ge 30 ] || fail "only $count frames grabbed"
for i in $(seq 0 $((count - 1))); do [ -s "$(printf 'SCRSHT/Screenshot%04d.ppm' "$i")" ] || fail "frame $i missing"; done
"$build/tests/vext_shotcheck" $(ls SCRSHT/*.ppm | sed -n '1p;10p;20p;30p') || fail "a grabbed frame is not the scene"
"$build/tests/vext_shotcheck" --moved SCRSHT/Screenshot0000.ppm "$(printf 'SCRSHT/Screenshot%04d.ppm' $((count - 1)))" \
  || fail "the view did not follow the path"
out=$("$build/Vext-Engine" --headless --timedemo flight.movie 2>&1) || fail "timedemo: $out"
echo "$out" | grep -E "^timedemo: 600 Bilder in [0-9.]+ s, [0-9.]+ Bilder pro Sekunde$" || fail "timedemo: $out"
echo "walkplay: footsteps only while walking, the fire rises as it comes near; $count frames grabbed while playing"
