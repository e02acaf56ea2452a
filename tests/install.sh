#!/usr/bin/env bash
# The installed game. Installs the build into a DESTDIR tree under /usr, runs the
# installed program from an unrelated folder with a fresh HOME: it finds its data, plays
# a scripted game headless and keeps the record in the player's data folder, never in
# the folder it was started in. Then the run with no data anywhere, the menu entry's
# categories (desktop_launch.sh validates it), the manual page, and the uninstall.
# (The order in which data is looked for, test_app checks.)
# Usage: install.sh BUILD_DIR SOURCE_DIR VERSION WORK_DIR
set -euo pipefail
build=$1 source=$2 version=$3 work=$4
rm -rf "$work" && mkdir -p "$work"
fail() { echo "FAIL: $*" >&2; exit 1; }

# A component install writes its own manifest, leaving the one of a real install alone.
root=$work/root
DESTDIR=$root cmake --install "$build" --prefix /usr --component Unspecified >/dev/null
manifest=$build/install_manifest_Unspecified.txt
bin=$root/usr/bin/tonkalo
data=$root/usr/share/tonkalo
[ -x "$bin" ] || fail "no program in $root/usr/bin"
for f in BMP/TITLE.bmp WAV/bell07.wav MP3/tw065.mp3 icons/tonkalo.bmp; do
  [ -s "$data/$f" ] || fail "missing $data/$f"
done
for f in icons/hicolor/48x48/apps/tonkalo.png icons/hicolor/128x128/apps/tonkalo.png \
  icons/hicolor/256x256/apps/tonkalo.png icons/hicolor/scalable/apps/tonkalo.svg \
  man/man6/tonkalo.6; do
  [ -s "$root/usr/share/$f" ] || fail "missing /usr/share/$f"
done

[ "$("$bin" --version)" = "tonkalo $version" ] || fail "--version: $("$bin" --version)"

# A game: the title click, four hits on the first tokens as they stand risen, and the
# clock run out to the results.
{
  printf '10 down\n13 up\n'
  for hit in '1153 125 58' '1230 195 128' '1307 55 128' '1384 335 128'; do
    read -r pass x y <<<"$hit"
    printf '%s move %s %s\n%s down\n%s up\n' "$pass" "$x" "$y" "$pass" "$((pass + 3))"
  done
} >"$work/game.txt"
# Runs the installed program in folder $1 with the rest as arguments; keeps stderr.
run() {
  local dir=$1
  shift
  mkdir -p "$dir"
  (cd "$dir" && "$bin" --headless --verbose "$@") 2>"$work/stderr" || return $?
}

home=$work/home
elsewhere=$work/elsewhere
HOME=$home XDG_DATA_HOME='' run "$elsewhere" --script "$work/game.txt" --trace trace.jsonl \
  --frames 5100 || fail "installed game exited $?: $(cat "$work/stderr")"
grep -qx "tonkalo: data folder: $data (installed with the program)" "$work/stderr" ||
  fail "data folder: $(cat "$work/stderr")"
record=$home/.local/share/tonkalo/highscore.dat
grep -qx "tonkalo: record file: $record" "$work/stderr" || fail "record file: $(cat "$work/stderr")"
score=$(grep '"event":"results"' "$elsewhere/trace.jsonl" | sed 's/.*"score":\([0-9]*\).*/\1/')
[ -n "$score" ] && [ "$score" -gt 0 ] || fail "no scored results in the trace"
kept=$(od -An -t d4 -N 4 "$record" | tr -d ' ')
[ "$kept" = "$score" ] || fail "record $kept, score $score"
[ "$(ls "$elsewhere")" = "trace.jsonl" ] || fail "files left where it started: $(ls "$elsewhere")"
[ ! -e "$data/highscore.dat" ] || fail "record written into the installed data"

# No data anywhere: one line naming where it looked, status 1, nothing written.
mv "$data" "$data.away"
status=0
HOME=$work/home2 run "$elsewhere" --frames 3 || status=$?
mv "$data.away" "$data"
[ "$status" = 1 ] || fail "no data: exit $status"
[ "$(wc -l <"$work/stderr")" = 1 ] || fail "no data: $(cat "$work/stderr")"
[ ! -e "$work/home2" ] || fail "no data, yet files were written"

grep -q '^Categories=Game;ArcadeGame;$' "$root"/usr/share/applications/*.desktop || fail "categories"
warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$root/usr/share/man/man6/tonkalo.6" 2>&1 >/dev/null)
[ -z "$warnings" ] || fail "man page warnings: $warnings"

DESTDIR=$root cmake -DMANIFEST="$manifest" -P "$source/dist/uninstall.cmake" >/dev/null
left=$(find "$root" -type f | head -n 5)
[ -z "$left" ] || fail "left after uninstall: $left"
[ ! -e "$data" ] || fail "data folder left after uninstall"
echo "install: ok"
