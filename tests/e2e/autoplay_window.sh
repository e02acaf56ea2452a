#!/usr/bin/env bash
# The built-in player in a real window (the attract mode): under Xvfb, on the fast
# tick so that it is quick, it clicks the title, plays and strikes tokens.
# Usage: autoplay_window.sh TONKALO DATA_DIR WORK_DIR
set -euo pipefail
bin=$1 data=$2 work=$3
rm -rf "$work" && mkdir -p "$work"
cp -r "$data/BMP" "$data/WAV" "$data/MP3" "$work/"

fail() { echo "FAIL: $*" >&2; exit 1; }

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" \
  >"$work/xvfb.log" 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null || true' EXIT
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "Xvfb did not start"
export DISPLAY=":$(head -n1 "$work/display")"
export SDL_AUDIODRIVER=dummy SDL_RENDER_DRIVER=software

(cd "$work" && exec "$bin" --autoplay --scale 1 --tick 1 --frames 4000 \
  --trace trace.jsonl --shot 3999:last.png) 2>"$work/stderr.log" ||
  fail "exit status $?: $(cat "$work/stderr.log")"
[ ! -s "$work/stderr.log" ] || fail "it said: $(cat "$work/stderr.log")"

states=$(grep -o '"state":"[a-z]*"' "$work/trace.jsonl" | cut -d'"' -f4 | tr '\n' ' ')
echo "states: $states"
case "$states" in
  "title countdown play "*) ;;
  *) fail "unexpected state sequence: $states" ;;
esac
hits=$(grep -c '"event":"hit"' "$work/trace.jsonl" || true)
echo "hits: $hits"
[ "$hits" -ge 3 ] || fail "the player struck fewer than three tokens"
size=$(identify -format '%wx%h' "$work/last.png")
[ "$size" = 640x480 ] || fail "the shot is $size, not 640x480"
echo "autoplay window OK"
