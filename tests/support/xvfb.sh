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
