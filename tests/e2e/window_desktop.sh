#!/usr/bin/env bash
# The game on a desktop with a window manager (openbox on a 1920 x 1080 Xvfb screen):
# - fullscreen fills the screen's height at scale 2.25 (a whole 2 would lose 21 % of it),
#   black bars beside it;
# - the platform's keys (M, S, F11, Alt+Enter, Space, P) change nothing in a scripted
#   game's trace;
# - --scale 2 gives a 1280 x 960 client; a resize keeps scale 2, centred between bars;
# - real clicks at scaled positions start the countdown and hit a risen token;
# - five instant clicks on the empty wall are five misses (quick clicks are not lost);
# - losing the focus pauses: the picture and the game's clock stand still; the click that
#   resumes is not a miss (P's pause, test_platform_sdl checks);
# - Escape quits through the normal exit;
# - the built-in player plays in the window on the fast tick.
# Usage: window_desktop.sh TONKALO DATA_DIR WORK_DIR
set -euo pipefail
bin=$(realpath "$1") work=$3
source "$(dirname "$0")/../support/xvfb.sh"
prepare_work "$work" "$2"
start_xvfb "$work" 1920x1080
cd "$work"
start_wm
export SDL_AUDIODRIVER=dummy

# Starts the game in the background with the given options; sets $game and $wid.
start() {
  "$bin" "$@" 2>>stderr.log &
  game=$!
  wid=$(xdotool search --sync --onlyvisible --name '^Tonkalo$' | head -n 1)
  sleep 0.5
}
# Waits for the game; it must exit with status $1 (0 unless named: 143 after SIGTERM).
finish() {
  local status=0
  wait "$game" || status=$?
  game=
  [ "$status" -eq "${1:-0}" ] || fail "the game exited with $status: $(cat stderr.log)"
}
size_of() { xdotool getwindowgeometry "$wid" | sed -n 's/.*Geometry: //p'; }
# The frame's top-left 200 x 120 (the title away from START and the hammer), cut from
# a window shot where it lands W x H at (x, y), against the headless picture.
title_differs() {
  convert "$1" -crop "$2+$3+$4" +repage -sample '200x120!' cut.png
  compare -metric AE cut.png "reference.png[200x120+0+0]" null: 2>&1 || true
}
"$bin" --headless --frames 3 --shot 1:reference.png >/dev/null 2>&1

# --- fullscreen on 1920 x 1080: 1440 x 1080 at (240, 0), black bars beside it.
xdotool mousemove 1900 1070
start --fullscreen --frames 4000
# Looked at until the window manager has made it fill the screen and the game drawn.
for _ in $(seq 100); do
  import -window root full.png
  differ=$(title_differs full.png 450x270 240 0)
  [ "$differ" = 0 ] && break
done
kill -TERM "$game"
finish 143
bars=$(convert full.png -crop 240x1080+0+0 -format '%[fx:maxima.r+maxima.g+maxima.b]' info:)
[ "$differ" = 0 ] || fail "fullscreen is $differ pixels off the title at scale 2.25 centred"
[ "$bars" = 0 ] || fail "fullscreen bars are not black but up to $bars"

# --- the keys: a scripted countdown with M, S, fullscreen on and off and a pause, and
# the same without them.
printf '10 move 320 240\n10 down\n12 up\n' >title-click.txt
for run in plain keys; do
  start --tick 1 --script title-click.txt --frames 1100 --trace "$run.jsonl" --scale 1
  if [ "$run" = keys ]; then
    xdotool key m key s key F11
    sleep 0.3
    xdotool key alt+Return key space
    sleep 0.5
    xdotool key p
    kill -0 "$game" 2>/dev/null || fail "the scripted countdown ended before the keys"
  fi
  finish
  sed -e 's/"tick":[0-9]*,//' "$run.jsonl" | awk -F'[:,]' '$2 <= 1089' >"$run.events"
done
grep -q '"state":"play"' plain.events || fail "the scripted countdown did not reach play"
cmp -s plain.events keys.events || fail "keys changed the trace: $(diff plain.events keys.events | head)"

# --- a real game at scale 2 in a window resized to 1500 x 1040: scale 2, bars 110 and 40.
launched=$(date +%s.%N)
start --scale 2 --trace game.jsonl
[ "$(size_of)" = 1280x960 ] || fail "--scale 2 gave a $(size_of) client"
xdotool windowsize --sync "$wid" 1500 1040
for _ in $(seq 100); do
  import -window "$wid" resized.png
  differ=$(title_differs resized.png 400x240 110 40)
  [ "$differ" = 0 ] && break
done
[ "$(size_of)" = 1500x1040 ] || fail "the window did not take 1500 x 1040 but $(size_of)"
[ "$differ" = 0 ] || fail "a resized window is $differ pixels off the title at scale 2 centred"
# Window pixels of frame point (x, y).
at() { echo "$((110 + 2 * $1 + 1)) $((40 + 2 * $2 + 1))"; }
click() {
  # shellcheck disable=SC2046
  xdotool mousemove --window "$wid" $(at "$1" "$2") click 1
}
click 320 240
# The hole of cell (0, 1) during the countdown, then watched until its token has risen.
hole="120x110+$((110 + 2 * 95))+$((40 + 2 * 30))"
# shellcheck disable=SC2046
xdotool mousemove --window "$wid" $(at 600 300)
sleep 2
import -window "$wid" -crop "$hole" +repage hole-empty.png
# The count takes 1080 passes, about 17 s; looking more often would only slow it.
sleep 14
risen=
for _ in $(seq 150); do
  import -window "$wid" -crop "$hole" +repage hole-now.png
  changed=$(compare -metric AE hole-empty.png hole-now.png null: 2>&1 || true)
  if [ "${changed%%.*}" -gt 300 ]; then risen=1; break; fi
  sleep 0.3
done
[ -n "$risen" ] || fail "no token rose in cell (0, 1)"
sleep 0.3
click 125 58
sleep 0.5
for _ in 1 2 3 4 5; do click 600 470; sleep 0.25; done

# Another window takes the focus: paused. A click resumes, and is no miss.
xmessage -center "another window" 2>/dev/null &
other=$!
unfocused=$(date +%s.%N)
sleep 1
import -window "$wid" unfocused-a.png
sleep 1.5
import -window "$wid" unfocused-b.png
kill "$other"
wait "$other" 2>/dev/null || true
sleep 0.5
click 600 300
refocused=$(date +%s.%N)
sleep 1
import -window "$wid" refocused.png
still=$(compare -metric AE unfocused-a.png unfocused-b.png null: 2>&1 || true)
moved=$(compare -metric AE unfocused-b.png refocused.png null: 2>&1 || true)
[ "$still" = 0 ] || fail "the game ran on without the focus: $still pixels changed"
[ "${moved%%.*}" -gt 0 ] || fail "the click did not resume the game"

xdotool key Escape
quit=$(date +%s.%N)
finish

trace=game.jsonl
states=$(grep -o '"state":"[a-z]*"' "$trace" | cut -d'"' -f4 | tr '\n' ' ')
hits=$(grep -c '"event":"hit","row":0,"col":1' "$trace" || true)
misses=$(grep -c '"event":"miss"' "$trace" || true)
case "$states" in "title countdown play "*) ;; *) fail "unexpected states: $states" ;; esac
[ "$hits" = 1 ] || fail "the click at the scaled position did not hit the risen token"
[ "$misses" = 5 ] || fail "five instant clicks on the wall (and a resuming one) gave $misses misses"
# The game's clock at the exit lags the wall clock by the pause, give or take start-up
# and the slowness of the clicks under load (a clock that ran on would be 3 s out).
exit_tick=$(grep '"command":"close"' "$trace" | tail -n1 | sed 's/.*"tick":\([0-9]*\).*/\1/')
lag=$(echo "$quit - $launched - $exit_tick / 1000 - ($refocused - $unfocused)" | bc -l)
awk -v l="$lag" 'BEGIN { exit !(l > -1.5 && l < 2.0) }' ||
  fail "beyond the pause, the game's clock lags the wall clock by $lag s"
# --- the built-in player in the window on the fast tick, to its first hits, silently.
"$bin" --autoplay --scale 1 --tick 1 --frames 4000 --trace autoplay.jsonl 2>autoplay.err ||
  fail "autoplay: exit status $?: $(cat autoplay.err)"
[ ! -s autoplay.err ] || fail "autoplay said: $(cat autoplay.err)"
states=$(grep -o '"state":"[a-z]*"' autoplay.jsonl | cut -d'"' -f4 | tr '\n' ' ')
case "$states" in "title countdown play "*) ;; *) fail "autoplay went through: $states" ;; esac
[ "$(grep -c '"event":"hit"' autoplay.jsonl)" -ge 3 ] || fail "autoplay hit fewer than 3 tokens"
echo "window desktop OK"
