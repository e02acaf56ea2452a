#!/usr/bin/env bash
# A real game in a real window (Xvfb, clicks from xdotool): title, countdown, hits on the
# first four tokens, ten misses, finish, results, back to the title; the trace and a
# screenshot checked. Then the built-in player in the window on the fast tick.
# Usage: window_game.sh TONKALO DATA_DIR WORK_DIR
set -euo pipefail
bin=$1 data=$2 work=$3
source "$(dirname "$0")/../support/xvfb.sh"
prepare_work "$work" "$data"
start_xvfb "$work"
trap 'kill "$xvfb_pid" ${game:-} 2>/dev/null || true' EXIT

export SDL_AUDIODRIVER=dummy
(cd "$work" && exec "$bin" --scale 1 --trace trace.jsonl) 2>"$work/stderr.log" &
game=$!
wid=$(xdotool search --sync --onlyvisible --name '^Tonkalo$' | head -n 1)
sleep 1

# The game samples the button once a frame, so a press must outlast a frame.
click() { xdotool mousemove --window "$wid" "$1" "$2" mousedown 1 sleep 0.1 mouseup 1; }
# The countdown runs 1080 frames at 64 a second; play deals a 2-point token into
# holes (0,1), (1,2), (1,0) and (1,4), one every 1.2 s from its first frame on.
play_at=$(echo "$(date +%s.%N) + 1080 / 64" | bc -l)
click 320 240
wait_until() { local d; d=$(echo "$1 - $(date +%s.%N)" | bc -l); [ "$(echo "$d > 0" | bc)" = 1 ] && sleep "$d"; return 0; }
hole_x=(125 195 55 335) hole_y=(58 128 128 128)
for i in 0 1 2 3; do
  wait_until "$(echo "$play_at + 1.0 + 1.2 * $i" | bc -l)"
  click "${hole_x[$i]}" "${hole_y[$i]}"
done
for _ in $(seq 10); do sleep 0.15; click 600 470; done
# The finish pause (900 frames) and the falling results panel.
sleep 19
click 320 400
sleep 1.5
import -window "$wid" "$work/title-again.png"
# SIGTERM closes the window the normal way: the record of the game played is kept.
# (Its status and whole trace lines, window_desktop.sh and test_e2e_record check.)
kill -TERM "$game"
wait "$game" || true
game=
score=$(grep '"event":"results"' "$work/trace.jsonl" | sed 's/.*"score":\([0-9]*\).*/\1/')
[ "$(od -An -t d4 -N 4 "$work/highscore.dat" | tr -d ' ')" = "$score" ] ||
  fail "the record of $score was not kept"

# The trace's states begin with $2 and it holds at least $3 hits.
expect_trace() {
  local states hits
  states=$(grep -o '"state":"[a-z]*"' "$1" | cut -d'"' -f4 | tr '\n' ' ')
  hits=$(grep -c '"event":"hit"' "$1" || true)
  echo "states: $states; hits: $hits"
  case "$states" in "$2"*) ;; *) fail "unexpected state sequence: $states" ;; esac
  [ "$hits" -ge "$3" ] || fail "fewer than $3 tokens were hit"
}
expect_trace "$work/trace.jsonl" "title countdown play finish result title " 1

# The back buffer reached the window unscaled: the title's top-left corner (away from
# the pulsing START and the hammer) matches the headless program's picture of it.
(cd "$work" && "$bin" --headless --frames 3 --shot 1:reference.png >/dev/null 2>&1)
differ=$(compare -metric AE "$work/title-again.png[200x120+0+0]" \
  "$work/reference.png[200x120+0+0]" null: 2>&1 || true)
echo "$(identify -format '%wx%h' "$work/title-again.png") window, $differ pixels off the title"
[ "$(identify -format '%wx%h' "$work/title-again.png")" = 640x480 ] && [ "$differ" = 0 ] ||
  fail "the window does not show the title unscaled"

export SDL_RENDER_DRIVER=software
(cd "$work" && exec "$bin" --autoplay --scale 1 --tick 1 --frames 4000 \
  --trace autoplay.jsonl --shot 3999:last.png) 2>"$work/stderr.log" ||
  fail "autoplay: exit status $?: $(cat "$work/stderr.log")"
[ ! -s "$work/stderr.log" ] || fail "autoplay said: $(cat "$work/stderr.log")"
expect_trace "$work/autoplay.jsonl" "title countdown play " 3
[ "$(identify -format '%wx%h' "$work/last.png")" = 640x480 ] || fail "the autoplay shot is not 640x480"
echo "window game OK"
