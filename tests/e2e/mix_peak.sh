#!/usr/bin/env bash
# The mix has headroom: a busy scripted game in the real window, its sound recorded
# through SDL's disk driver as the mixer made it (music and effects together), never
# comes within 0.1 dB of full scale (32393 of 32767). The game runs in real time: the
# 17 s countdown, then 20 s of play with a sound about every 0.8 s.
#
# Usage: bash mix_peak.sh <tonkalo> <data dir> <work dir>
set -euo pipefail

bin=$1 data=$2 work=$3
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../support/xvfb.sh"
prepare_work "$work" "$data"
start_xvfb "$work"
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/audio.raw"

"$bin" --data-dir "$work" --scale 1 --script "$here/busy_game.txt" --trace "$work/trace.jsonl" \
  2>"$work/stderr.log" || fail "exit status $?: $(cat "$work/stderr.log")"

# Busy: the sounds played during play. Each click plays at least one, hit or miss, even
# when a loaded machine lets the window's passes drift from the tokens' clock.
sounds=$(awk '/"state":"play"/ { play = 1 } /"state":"(finish|result)"/ { play = 0 }
  play && /"event":"sound"/ { n++ } END { print n + 0 }' "$work/trace.jsonl")
echo "sound effects during play: $sounds"
[ "$sounds" -ge 20 ] || fail "only $sounds sound effects in play"

# 16-bit stereo at 44.1 kHz: the whole run, title music included.
[ -s "$work/audio.raw" ] || fail "no sound was recorded"
peak=$(od -An -t d2 -v -w2 "$work/audio.raw" |
  awk '{ v = $1 < 0 ? -$1 : $1; if (v > p) p = v } END { print p + 0 }')
samples=$(($(stat -c %s "$work/audio.raw") / 2))
echo "peak of $samples samples: $peak ($(awk -v p="$peak" 'BEGIN { printf "%.2f", 20 * log(p / 32768) / log(10) }') dBFS)"
[ "$samples" -ge $((30 * 88200)) ] || fail "the recording is shorter than 30 s"
[ "$peak" -ge 8192 ] || fail "the recording is near silent"
[ "$peak" -lt 32393 ] || fail "the mix reaches within 0.1 dB of full scale"
echo "mix peak OK"
