#!/usr/bin/env bash
# The windowed program keeps the pace of the system tick: 64 passes of the frame loop a
# second. (How many --tick 1 allows is the window benchmark's figure.) Measured from the program's own
# trace under a virtual X server: from the last event of pass 0 (start-up is done) to
# the first event of pass N (the exit path begins after N sleeps).
#
# Usage: bash pacing.sh <tonkalo> <data dir> <work dir>
set -euo pipefail

bin=$1
data=$2
work=$3

# Under the sanitizers a frame's work takes several times as long, and its pace says
# nothing about the tick; the check is skipped there (status 77 tells ctest so).
if [ "${TONKALO_SANITIZED:-}" = 1 ]; then
  echo "pacing: skipped under the sanitizers"
  exit 77
fi

source "$(dirname "$0")/../support/xvfb.sh"
prepare_work "$work" "$data"
start_xvfb "$work"
export SDL_AUDIODRIVER=disk
export SDL_DISKAUDIOFILE="$work/audio.raw"

# Prints the passes per second of one run, or fails with the reason.
measure() {
  local trace=$1 frames=$2
  awk -v frames="$frames" '
    {
      pass = $0; sub(/^\{"pass":/, "", pass); sub(/,.*/, "", pass); pass += 0
      tick = $0; sub(/^\{"pass":[0-9]+,"tick":/, "", tick); sub(/,.*/, "", tick)
      if (pass == 0) { t0 = tick + 0; seen0 = 1 }
      if (pass == frames && !seenN) { tn = tick + 0; seenN = 1 }
    }
    END {
      if (!seen0 || !seenN) { print "no events at pass 0 and pass " frames > "/dev/stderr"; exit 1 }
      if (tn <= t0) { print "the clock did not move" > "/dev/stderr"; exit 1 }
      printf "%.2f\n", frames * 1000.0 / (tn - t0)
    }' "$trace"
}

# Runs the program for `frames` passes with the given options; its passes a second r
# must meet the awk condition `want`.
check_rate() {
  local name=$1 frames=$2 want=$3 status=0 rate
  shift 3
  "$bin" --data-dir "$work" --frames "$frames" --trace "$work/$name.jsonl" "$@" \
    2>"$work/$name.err" || status=$?
  [ "$status" -eq 0 ] || fail "$name run exited with $status: $(cat "$work/$name.err")"
  rate=$(measure "$work/$name.jsonl" "$frames")
  echo "$name: $rate passes a second"
  awk -v r="$rate" "BEGIN { exit !($want) }" || { echo "pacing: $name wants $want" >&2; failed=1; }
}

failed=0
check_rate default 192 'r >= 61 && r <= 67'
exit "$failed"
