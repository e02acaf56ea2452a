#!/usr/bin/env bash
# What the real window costs the machine, on a virtual X server, against the floor: a
# tiny program that only shows a 640 x 480 picture with a band of 76 rows changing
# each pass, on the same window surface at the same pace (sdl_floor.c, built here from
# the shared folder beside the clone). CPU = user + system time of the whole process
# over SECONDS of the run, as a share of one core. The game and the floor alternate
# (A/B/A/B, three rounds) for the title (real pointer, no script) and for play (the
# scripted game from pass 1089 on), at scale 1 and 3; median and range of each. Then
# the passes a second with --tick 1 at scale 1. Audio goes to SDL's disk driver.
#
# Usage: bash window_cpu.sh TONKALO DATA_DIR [SECONDS]   (SECONDS defaults to 10)
# FLOOR_SOURCE names sdl_floor.c when it is not at ../shared/floors beside the clone.
set -euo pipefail

bin=$(realpath "$1")
data=$2
seconds=${3:-10}
here=$(cd "$(dirname "$0")" && pwd)
script=$here/window_play.script
floor_src=${FLOOR_SOURCE:-$here/../../shared/floors/sdl_floor.c}
floor=$(dirname "$bin")/sdl_floor
[ -f "$floor_src" ] || { echo "window bench: no floor program at $floor_src" >&2; exit 1; }
# shellcheck disable=SC2046
cc -O2 "$floor_src" $(sdl2-config --cflags --libs) -o "$floor"

work=$(mktemp -d /tmp/tonkalo-window-bench-XXXXXX)
cp -r "$data/BMP" "$data/WAV" "$data/MP3" "$work/"
# Large enough for a 1920 x 1440 window at scale 3.
Xvfb -displayfd 3 -screen 0 2048x1536x24 -nolisten tcp -noreset 3>"$work/display" \
  >"$work/xvfb.log" 2>&1 &
xvfb=$!
run=
cleanup() {
  [ -n "$run" ] && kill "$run" 2>/dev/null
  kill "$xvfb" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  sleep 0.1
done
[ -s "$work/display" ] || { echo "window bench: Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$work/display")"
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/null

hz=$(getconf CLK_TCK)
# utime + stime of a process, in clock ticks (fields 14 and 15 of its stat line, counted
# after the parenthesised name).
cpu_ticks() { sed 's/.*) //' "/proc/$1/stat" | awk '{ print $12 + $13 }'; }
peak_kb() { awk '/^VmHWM:/ { print $2 }' "/proc/$1/status"; }

# measure WARMUP COMMAND...: the CPU share over SECONDS after WARMUP seconds; appends
# "cpu peak_kb" to $work/last.
measure() {
  local warm=$1 before after
  shift
  "$@" 2>>"$work/runs.err" &
  run=$!
  sleep "$warm"
  kill -0 "$run" 2>/dev/null || { echo "window bench: $* ended early:" >&2; cat "$work/runs.err" >&2; exit 1; }
  before=$(cpu_ticks "$run")
  sleep "$seconds"
  after=$(cpu_ticks "$run")
  echo "$(echo "scale=2; 100 * ($after - $before) / $hz / $seconds" | bc) $(peak_kb "$run")" >"$work/last"
  kill -TERM "$run"
  wait "$run" || true
  run=
}
# Median, range and the peak memory of the "cpu peak_kb" lines in a file.
summary() {
  sort -n "$1" | awk '{ c[NR] = $1; if ($2 > p) p = $2 }
    END { printf "%5.2f %% (%.2f-%.2f), peak %.1f MB", c[int((NR + 1) / 2)], c[1], c[NR], p / 1024 }'
}
median() { sort -n "$1" | awk '{ c[NR] = $1 } END { print c[int((NR + 1) / 2)] }'; }

echo "window under Xvfb against the floor (sdl_floor surface band), $seconds s a run, 3 rounds"
for scale in 1 3; do
  for scene in title play; do
    : >"$work/game" && : >"$work/floor"
    for _ in 1 2 3; do
      if [ "$scene" = title ]; then
        measure 3 "$bin" --data-dir "$work" --scale "$scale"
      else
        # Play begins at pass 1089 of the script, about 17 s after start-up.
        measure 18 "$bin" --data-dir "$work" --scale "$scale" --script "$script"
      fi
      cat "$work/last" >>"$work/game"
      measure 2 "$floor" "$scale" 1000000 surface band
      cat "$work/last" >>"$work/floor"
    done
    printf "  scale %d %-5s game %s | floor %s | ratio %.1fx (target <= %dx)\n" "$scale" "$scene" \
      "$(summary "$work/game")" "$(summary "$work/floor")" \
      "$(echo "$(median "$work/game") / $(median "$work/floor")" | bc -l)" "$((scale == 1 ? 4 : 3))"
  done
done

# With a 1 ms tick the loop runs as fast as a frame allows. Passes a second over the
# play part of the same game, from the trace's ticks.
"$bin" --data-dir "$work" --scale 1 --script "$script" --tick 1 --frames 3000 \
  --trace "$work/fast.jsonl" 2>"$work/fast.err" &
run=$!
peak=0
while kill -0 "$run" 2>/dev/null; do
  now=$(peak_kb "$run" 2>/dev/null || echo 0)
  [ "${now:-0}" -gt "$peak" ] && peak=$now
  sleep 0.5
done
wait "$run" || { echo "window bench: the --tick 1 run failed:" >&2; cat "$work/fast.err" >&2; exit 1; }
run=
awk -v peak="$peak" '
  {
    pass = $0; sub(/^\{"pass":/, "", pass); sub(/,.*/, "", pass); pass += 0
    tick = $0; sub(/^\{"pass":[0-9]+,"tick":/, "", tick); sub(/,.*/, "", tick); tick += 0
    if (pass >= 1100 && !seen) { p0 = pass; t0 = tick; seen = 1 }
    if (pass <= 3000) { p1 = pass; t1 = tick }
  }
  END {
    if (!seen || t1 <= t0) { print "window bench: no play in the --tick 1 trace" > "/dev/stderr"; exit 1 }
    printf "  --tick 1, scale 1: %.0f passes a second (target >= 400), peak resident %.1f MB\n",
      (p1 - p0) * 1000.0 / (t1 - t0), peak / 1024.0
  }' "$work/fast.jsonl"
