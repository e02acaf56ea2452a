#!/usr/bin/env bash
# A message box in the window (openbox on Xvfb; the data lack one sound): no helper
# process runs beside the game; Return dismisses it and the game goes on. SIGTERM,
# SIGINT and Alt+F4 (the close) while it is up end the game at once, with the status
# they give without a box.
# Usage: window_box.sh TONKALO DATA_DIR WORK_DIR
set -euo pipefail
bin=$(realpath "$1") work=$3
source "$(dirname "$0")/../support/xvfb.sh"
prepare_work "$work" "$2"
start_xvfb "$work" 1280x1024
cd "$work"
mkdir whole && mv BMP WAV MP3 whole/
cp -r whole broken && rm broken/WAV/"$(ls broken/WAV | head -n 1)"
start_wm
export SDL_AUDIODRIVER=dummy

# Starts the game on DATA (whole or broken); returns once the window (and box) is up.
start() {
  : >stderr.log
  "$bin" --scale 1 --data-dir "$1" 2>stderr.log &
  game=$!
  wid=$(xdotool search --sync --onlyvisible --name '^Tonkalo$' | head -n 1)
  for _ in $(seq 50); do
    [ "$1" = whole ] || grep -q 'DEBUG: ' stderr.log && break
    sleep 0.1
  done
  sleep 0.8
}
# Ends the game with $1 (a signal or a key) within 3 s; sets $status.
stop() {
  case "$1" in
    TERM | INT) kill -"$1" "$game" ;;
    *) xdotool windowactivate --sync "$wid" key "$1" ;;
  esac
  for _ in $(seq 30); do kill -0 "$game" 2>/dev/null && sleep 0.1; done
  kill -0 "$game" 2>/dev/null && fail "$1 did not end the game within 3 s"
  status=0
  wait "$game" || status=$?
  game=
}

start broken
grep -q 'DEBUG: WAV' stderr.log || fail "no box for the missing sound: $(cat stderr.log)"
[ -z "$(pgrep -P "$game" || true)" ] || fail "a helper process runs beside the game"
import -window "$wid" box.png
xdotool windowactivate --sync "$wid" key Return
sleep 1
kill "$game" 2>/dev/null || fail "the game ended when the box was dismissed"
wait "$game" || true

for how in TERM INT alt+F4; do
  start whole
  stop "$how" && plain=$status
  start broken
  stop "$how" && boxed=$status
  echo "$how: status $plain without a box, $boxed with one"
  [ "$plain" = "$boxed" ] || fail "$how while a box is up ends with $boxed, not $plain"
done
