# Sourced by the whole-program scripts that need a real window.  The virtual
# X server picks a free display number itself and reports it on a file
# descriptor (-displayfd), so scripts started at the same moment by a
# parallel ctest never race for one number.  Sets DISPLAY and XVFB_PID.
start_xvfb() {  # start_xvfb WORKDIR
  local numfile=$1/xvfb.display
  : >"$numfile"
  Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$numfile" >"$1/xvfb.log" 2>&1 &
  XVFB_PID=$!
  for _ in $(seq 1 150); do
    [ -s "$numfile" ] && break
    kill -0 "$XVFB_PID" 2>/dev/null || return 1
    sleep 0.1
  done
  [ -s "$numfile" ] || return 1
  export DISPLAY=":$(head -n1 "$numfile")"
  for _ in $(seq 1 100); do
    xdotool getmouselocation >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  return 1
}

# The common frame of a windowed run: checks the tools, makes a scratch
# folder $work holding a copy of the demo data, starts the virtual X server,
# and on exit stops it and the engine ($engine_pid, set by the caller).
# VEXT_E2E_DEBUG=1 keeps $work for a look afterwards.
fail() { echo "FAIL: $*"; [ -f "${work:-}/engine.log" ] && tail -40 "$work/engine.log"; exit 1; }
window_run_cleanup() {
  [ -n "${engine_pid:-}" ] && kill "$engine_pid" 2>/dev/null || true
  [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null || true
  [ -n "${VEXT_E2E_DEBUG:-}" ] || rm -rf "$work"
}
window_run_setup() {  # window_run_setup SOURCE_DIR
  for tool in Xvfb xdotool; do
    command -v "$tool" >/dev/null || fail "$tool is not installed (scripts/setup.sh installs it)"
  done
  work=$(mktemp -d)
  engine_pid=""
  trap window_run_cleanup EXIT
  cp -r "$1/data" "$work/data"
  start_xvfb "$work" || fail "no virtual X server came up"
}

# start_engine SWITCH...: the engine from the current directory in a window
# (sound to ${engine_audio:-dummy}), output added to $work/engine.log; its
# window in $win, its process in $engine_pid.
start_engine() {
  SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=${engine_audio:-dummy} "$build/Vext-Engine" -window "$@" \
    >>"$work/engine.log" 2>&1 &
  engine_pid=$!
  win=$(timeout 60 xdotool search --sync --name "Vext-Engine" | head -n1) || fail "no engine window appeared"
  xdotool windowactivate --sync "$win" 2>/dev/null || xdotool windowfocus --sync "$win"
  sleep 1.5   # the first frames and the frame-default timer
}
# press KEY [SECONDS]: a key pressed and released within one frame counts as
# never pressed, so each is held for a while.
press() { xdotool keydown --window "$win" "$1"; sleep "${2:-0.25}"; xdotool keyup --window "$win" "$1"; sleep 0.3; }
# shot FILE: ScreenshotPPM (F2) acts once per press; waits until its file is new.
shot() {
  rm -f Screenshot.ppm
  press F2
  for _ in $(seq 1 50); do [ -s Screenshot.ppm ] && break; sleep 0.1; done
  [ -s Screenshot.ppm ] || fail "ScreenshotPPM wrote no Screenshot.ppm"
  sleep 0.3
  cp Screenshot.ppm "$1"
}
# stop_engine: Escape must end the engine within ten seconds, with status 0.
stop_engine() {
  xdotool keydown --window "$win" Escape; sleep 0.25
  xdotool keyup --window "$win" Escape 2>/dev/null || true   # the engine may be gone already
  for _ in $(seq 1 100); do kill -0 "$engine_pid" 2>/dev/null || break; sleep 0.1; done
  ! kill -0 "$engine_pid" 2>/dev/null || fail "Escape did not end the engine"
  wait "$engine_pid" || fail "engine ended with status $? after Escape"
  engine_pid=""
}
