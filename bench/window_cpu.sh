#!/usr/bin/env bash
# What the real window costs the machine, on a virtual X server: the CPU time of the
# whole game process (every thread, user and system) over SECONDS of scripted play at
# scale 1 and at scale 3, as a share of one core; the passes a second with --tick 1 at
# scale 1; and the peak resident memory of each run. Audio goes to SDL's disk driver
# (mixed as for a sound card, written to /dev/null).
#
# Usage: bash window_cpu.sh TONKALO DATA_DIR [SECONDS]   (SECONDS defaults to 25)
# Extra options for the game (say, --fullscreen) come from TONKALO_BENCH_ARGS.
set -euo pipefail

bin=$(realpath "$1")
data=$2
seconds=${3:-25}
here=$(cd "$(dirname "$0")" && pwd)
script=$here/window_play.script
read -r -a extra <<<"${TONKALO_BENCH_ARGS:-}"

work=$(mktemp -d /tmp/tonkalo-window-bench-XXXXXX)
cp -r "$data/BMP" "$data/WAV" "$data/MP3" "$work/"

# Large enough for a 1920 x 1440 window at scale 3.
Xvfb -displayfd 3 -screen 0 2048x1536x24 -nolisten tcp -noreset 3>"$work/display" \
  >"$work/xvfb.log" 2>&1 &
xvfb=$!
game=
cleanup() {
  [ -n "$game" ] && kill "$game" 2>/dev/null
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

ticks_per_second=$(getconf CLK_TCK)
# utime + stime of a process, in clock ticks (fields 14 and 15 of its stat line, counted
# after the parenthesised name, which may hold spaces).
cpu_ticks() { sed 's/.*) //' "/proc/$1/stat" | awk '{ print $12 + $13 }'; }
peak_kb() { awk '/^VmHWM:/ { print $2 }' "/proc/$1/status"; }

# Play begins at pass 1089 of the script, about 17 s after start-up.
play_starts=18

# The pass of the game at a given tick, from the nearest traced events around it.
pass_at() {
  awk -v want="$2" '
    {
      pass = $0; sub(/^\{"pass":/, "", pass); sub(/,.*/, "", pass); pass += 0
      tick = $0; sub(/^\{"pass":[0-9]+,"tick":/, "", tick); sub(/,.*/, "", tick); tick += 0
      if (tick <= want) { p0 = pass; t0 = tick }
      else if (!after) { p1 = pass; t1 = tick; after = 1 }
    }
    END {
      if (!after || t1 == t0) { print p0; exit }
      printf "%.0f\n", p0 + (p1 - p0) * (want - t0) / (t1 - t0)
    }' "$1"
}

echo "windowed game under Xvfb, $seconds s of scripted play (CPU time of the whole process)"
for scale in 1 3; do
  launched=$(date +%s.%N)
  "$bin" --data-dir "$work" --scale "$scale" --script "$script" --verbose \
    --trace "$work/scale$scale.jsonl" "${extra[@]}" 2>"$work/scale$scale.err" &
  game=$!
  sleep "$play_starts"
  kill -0 "$game" 2>/dev/null || { echo "window bench: the game ended early:" >&2;
    cat "$work/scale$scale.err" >&2; exit 1; }
  before=$(cpu_ticks "$game")
  from=$(date +%s.%N)
  sleep "$seconds"
  after=$(cpu_ticks "$game")
  to=$(date +%s.%N)
  peak=$(peak_kb "$game")
  kill -TERM "$game"
  wait "$game" || true
  game=
  # The game's clock starts with its window, a moment after launch; near enough here.
  first=$(pass_at "$work/scale$scale.jsonl" "$(echo "($from - $launched) * 1000" | bc)")
  last=$(pass_at "$work/scale$scale.jsonl" "$(echo "($to - $launched) * 1000" | bc)")
  awk -v s="$scale" -v t="$((after - before))" -v hz="$ticks_per_second" -v secs="$seconds" \
      -v passes="$((last - first))" -v peak="$peak" 'BEGIN {
    target = 5
    cpu = t / hz
    printf "  scale %d: %5.1f %% of one core (target <= %d %%), %.0f us CPU a pass at %.1f passes a second, peak resident %.1f MB\n",
      s, 100.0 * cpu / secs, target, (passes > 0 ? 1e6 * cpu / passes : 0), passes / secs, peak / 1024.0 }'
done

# With a 1 ms tick the loop runs as fast as a frame allows. Passes a second over the
# play part of the same game, from the trace's ticks.
"$bin" --data-dir "$work" --scale 1 --script "$script" --tick 1 --frames 3000 \
  --trace "$work/fast.jsonl" "${extra[@]}" 2>"$work/fast.err" &
game=$!
peak=0
while kill -0 "$game" 2>/dev/null; do
  now=$(peak_kb "$game" 2>/dev/null || echo 0)
  [ "${now:-0}" -gt "$peak" ] && peak=$now
  sleep 0.5
done
wait "$game" || { echo "window bench: the --tick 1 run failed:" >&2; cat "$work/fast.err" >&2; exit 1; }
game=
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
