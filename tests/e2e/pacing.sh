#!/usr/bin/env bash
# The windowed program keeps the pace of the system tick: 64 passes of the frame loop a
# second, measured from its own trace under Xvfb, from the last event of pass 0 (start-up
# is done) to the first of pass 192. (How many --tick 1 allows is the window benchmark's
# figure.) Skipped (77) under the sanitizers, where a frame's pace says nothing of the tick.
# Usage: bash pacing.sh <tonkalo> <data dir> <work dir>
set -euo pipefail
bin=$1 work=$3
[ "${TONKALO_SANITIZED:-}" != 1 ] || { echo "pacing: skipped under the sanitizers"; exit 77; }
source "$(dirname "$0")/../support/xvfb.sh"
prepare_work "$work" "$2"
start_xvfb "$work"
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/audio.raw"
"$bin" --data-dir "$work" --frames 192 --trace "$work/trace.jsonl" 2>"$work/err" ||
  fail "exit status $?: $(cat "$work/err")"
rate=$(awk -v n=192 -F'[:,]' '
  $2 == 0 { t0 = $4; seen0 = 1 }
  $2 == n && !seenN { tn = $4; seenN = 1 }
  END {
    if (!seen0 || !seenN || tn <= t0) { print "no clock from pass 0 to " n > "/dev/stderr"; exit 1 }
    printf "%.2f\n", n * 1000.0 / (tn - t0)
  }' "$work/trace.jsonl")
echo "pacing: $rate passes a second"
awk -v r="$rate" 'BEGIN { exit !(r >= 61 && r <= 67) }' || fail "$rate a second, not 61 to 67"
