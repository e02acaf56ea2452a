# Sourced by the window tests. Usage: prepare_work WORK_DIR DATA_DIR, then
# start_xvfb WORK_DIR [SCREEN] (1280x1024 unless named; leaves xvfb.log and display in
# WORK_DIR, points DISPLAY at the server and stops it when the script exits).

fail() { echo "$(basename "$0" .sh): $*" >&2; exit 1; }

# A fresh WORK_DIR holding a copy of the game's data.
prepare_work() {
  rm -rf "$1" && mkdir -p "$1"
  cp -r "$2/BMP" "$2/WAV" "$2/MP3" "$1/"
}

start_xvfb() {
  local work=$1
  # Xvfb picks a free display itself and tells us which on fd 3.
  Xvfb -displayfd 3 -screen 0 "${2:-1280x1024}x24" -nolisten tcp -noreset 3>"$work/display" \
    >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  trap 'kill "$xvfb_pid" 2>/dev/null || true; wait "$xvfb_pid" 2>/dev/null || true' EXIT
  for _ in $(seq 100); do
    [ -s "$work/display" ] && break
    sleep 0.1
  done
  [ -s "$work/display" ] || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
  export DISPLAY=":$(head -n1 "$work/display")"
}

# Openbox on the display, for the tests that need a window manager; the EXIT trap then
# ends it, the game ($game, if running) and Xvfb.
start_wm() {
  game=
  openbox --sm-disable >openbox.log 2>&1 &
  wm=$!
  trap 'kill $game "$wm" "$xvfb_pid" 2>/dev/null; wait 2>/dev/null' EXIT
  for _ in $(seq 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.1
  done
}
