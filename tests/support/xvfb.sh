# Sourced by the window tests: starts a virtual X server for this script and points
# DISPLAY at it; the server is stopped when the script exits.
# Usage: start_xvfb WORK_DIR   (leaves xvfb.log and display in WORK_DIR)
start_xvfb() {
  local work=$1
  # Xvfb picks a free display itself and tells us which on fd 3.
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$work/display" \
    >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  trap 'kill "$xvfb_pid" 2>/dev/null || true; wait "$xvfb_pid" 2>/dev/null || true' EXIT
  for _ in $(seq 100); do
    [ -s "$work/display" ] && break
    sleep 0.1
  done
  if [ ! -s "$work/display" ]; then
    echo "$(basename "$0"): Xvfb did not start:" >&2
    cat "$work/xvfb.log" >&2
    exit 1
  fi
  export DISPLAY=":$(head -n1 "$work/display")"
}
