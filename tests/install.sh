#!/usr/bin/env bash
# The installed game, in a DESTDIR tree under /usr. The Debian packages' lists give each
# file to one package, nothing compiled to the architecture-free tonkalo-data. From an
# unrelated folder with a fresh HOME the program finds its data, plays and records a busy
# game, keeps the record in the player's data folder only, and plays its replay given
# alone as --replay does. Then the manual page, and the uninstall.
# Usage: install.sh BUILD_DIR SOURCE_DIR VERSION WORK_DIR
set -euo pipefail
export LC_ALL=C
build=$1 source=$2 version=$3 work=$4
rm -rf "$work" && mkdir -p "$work/elsewhere"
fail() { echo "FAIL: $*" >&2; exit 1; }

# A component install writes its own manifest, leaving the one of a real install alone.
root=$work/root bin=$work/root/usr/bin/tonkalo data=$work/root/usr/share/tonkalo
DESTDIR=$root cmake --install "$build" --prefix /usr --component Unspecified >/dev/null
manifest=$build/install_manifest_Unspecified.txt
[ "$("$bin" --version)" = "tonkalo $version" ] || fail "--version: $("$bin" --version)"

# The files in the folders debian/rules chooses for a game and its data.
(cd "$root" && find usr ! -type d) |
  sed 's|^usr/bin/|usr/games/|; s|^usr/share/tonkalo/|usr/share/games/tonkalo/|' |
  sort >"$work/files"
for package in tonkalo tonkalo-data; do
  while read -r path; do grep -E "^$path(/|$)" "$work/files" || true; done \
    <"$source/debian/$package.install" >"$work/$package"
done
sort "$work/tonkalo" "$work/tonkalo-data" | diff - "$work/files" || fail "not one package a file"
for f in tonkalo:usr/games/tonkalo tonkalo:usr/share/doc/tonkalo/README.md \
  tonkalo-data:usr/share/games/tonkalo/MP3/tw065.mp3; do
  grep -qx "${f#*:}" "$work/${f%%:*}" || fail "${f#*:} is not in ${f%%:*}"
done
while read -r f; do
  [ "$(head -c 4 "$root/${f/games\//}" | tr -d '\0')" != $'\x7fELF' ] || fail "compiled: $f"
done <"$work/tonkalo-data"

home=$work/home elsewhere=$work/elsewhere replay=$work/game.tonkalo-replay
run() {
  (cd "$elsewhere" && HOME=$home XDG_DATA_HOME='' "$bin" --headless --verbose "$@") 2>"$work/stderr"
}
run --script "$source/bench/busy_game.txt" --frames 4743 --trace trace.jsonl --record "$replay" ||
  fail "installed game exited $?: $(cat "$work/stderr")"
grep -qx "tonkalo: data folder: $data (installed with the program)" "$work/stderr" ||
  fail "data folder: $(cat "$work/stderr")"
record=$home/.local/share/tonkalo/highscore.dat
grep -qx "tonkalo: record file: $record" "$work/stderr" || fail "record file: $(cat "$work/stderr")"
score=$(grep '"event":"results"' "$elsewhere/trace.jsonl" | sed 's/.*"score":\([0-9]*\).*/\1/')
[ -n "$score" ] && [ "$score" -gt 0 ] || fail "no scored results in the trace"
[ "$(od -An -t d4 -N 4 "$record" | tr -d ' ')" = "$score" ] || fail "record is not $score"
[ "$(ls "$elsewhere")" = "trace.jsonl" ] || fail "files left where it started: $(ls "$elsewhere")"
[ ! -e "$data/highscore.dat" ] || fail "record written into the installed data"

run --trace "$work/replayed.jsonl" --replay "$replay" || fail "--replay: $(cat "$work/stderr")"
run --trace "$work/opened.jsonl" "$replay" || fail "tonkalo FILE: $(cat "$work/stderr")"
grep -q '"event":"results"' "$work/opened.jsonl" || fail "tonkalo FILE played no game"
cmp "$work/replayed.jsonl" "$work/opened.jsonl" || fail "tonkalo FILE is not --replay FILE"

warnings=$(LC_ALL=C.UTF-8 man --warnings -l "$root"/usr/share/man/man6/* 2>&1 >/dev/null)
[ -z "$warnings" ] || fail "man page warnings: $warnings"

DESTDIR=$root cmake -DMANIFEST="$manifest" -P "$source/dist/uninstall.cmake" >/dev/null
left=$(find "$root" -type f | head -n 5)
[ -z "$left" ] && [ ! -e "$data" ] || fail "left after uninstall: $left $(ls -d "$data")"
echo "install: ok"
