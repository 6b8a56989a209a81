#!/usr/bin/env bash
# SaveGameFiles end to end: in editor mode under a virtual X server, F7 asks a
# stand-in zenity (it notes its arguments and answers from a file) and copies
# "select", then after key 2 "second", into empty directories.  Each copy must
# run its level on its own: no missing file, the same terminal output as from
# data/, and the same first frame (nothing has moved yet) pixel for pixel.
set -euo pipefail
build=$1
src=$2
. "$(dirname "$0")/../support/xvfb.sh"
window_run_setup "$src"
mkdir -p "$work/bin" "$work/copy_select" "$work/copy_second"
printf '#!/bin/sh\nprintf "%%s\\n" "$@" >>"%s/zenity.args"\ncat "%s/answer"\n' "$work" "$work" >"$work/bin/zenity"
chmod +x "$work/bin/zenity"

cd "$work/data"
PATH="$work/bin:$PATH" start_engine -leveled
# collect DIR RUN: F7 with DIR as the chooser's answer; waits for summary RUN.
collect() {
  echo "$1" >"$work/answer"
  press F7
  for _ in $(seq 1 150); do [ "$(grep -c "^SaveGameFiles: .* Dateien nach" "$work/engine.log")" -ge "$2" ] && break; sleep 0.1; done
  grep -q "^SaveGameFiles: .* Dateien nach $1 kopiert, 0 nicht kopiert" "$work/engine.log" \
    || fail "copying into $1 did not finish without failures"
}
collect "$work/copy_select" 1
press 2
for _ in $(seq 1 150); do grep -q "GO" "$work/engine.log" && break; sleep 0.1; done
sleep 0.5
collect "$work/copy_second" 2
stop_engine
grep -qx -- "--directory" "$work/zenity.args" || fail "the chooser was not asked for a directory"
grep -qx -- "--title=Wohin sollen die Daten gehen?" "$work/zenity.args" || fail "the chooser had the wrong title"

# run DATADIR LEVEL FRAMES NAME: the engine headless on DATADIR; NAME.msg is
# its output without the frame rate, which differs from run to run.
run() {
  (cd "$work" && SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy DISPLAY= WAYLAND_DISPLAY= \
    "$build/Vext-Engine" --data "$1" --level "$2" --headless --frames "$3" --shot "$work/$4.ppm" \
    >"$work/$4.log" 2>&1) || fail "$4: the engine ended with status $?: $(tail -5 "$work/$4.log")"
  grep -v "Bilder pro Sekunde" "$work/$4.log" >"$work/$4.msg" || true
}
for level in select second; do
  copy="$work/copy_$level"
  run "$work/data" "$level" 30 "orig_$level"
  run "$copy" "$level" 30 "copy_$level"
  ! grep -Ei "nicht gefunden|fehlt|nicht vorhanden|Warnung" "$work/copy_$level.log" || fail "$level: a file is missing"
  diff "$work/orig_$level.msg" "$work/copy_$level.msg" || fail "$level: the copy says something else"
  run "$work/data" "$level" 1 "orig1_$level"
  run "$copy" "$level" 1 "copy1_$level"
  cmp -s "$work/orig1_$level.ppm" "$work/copy1_$level.ppm" || fail "$level: the copy draws another picture"
done
echo "collect: all checks passed"
