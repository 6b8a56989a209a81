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
