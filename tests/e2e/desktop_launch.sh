#!/usr/bin/env bash
# The menu entry and the replay file type as a desktop uses them, the game installed into
# a prefix of its own: the entry's and the AppStream data's validators at their strictest,
# the type known by a replay's first line. Then, under Xvfb, gtk-launch with the desktop
# id as root and as `nobody` (the window comes up, SIGTERM ends it), and with a replay,
# which plays in the window and ends the game. Skipped (77) without gtk-launch.
# Usage: desktop_launch.sh TONKALO DATA_DIR WORK_DIR
set -euo pipefail
bin=$1 work=$3 prefix=$3/prefix
source "$(dirname "$0")/../support/xvfb.sh"
rm -rf "$work" && mkdir -p "$work" && chmod 755 "$work"
cmake --install "$(dirname "$bin")" --prefix "$prefix" --component Unspecified >/dev/null
rm -f "$(dirname "$bin")/install_manifest_Unspecified.txt"

entry=$(ls "$prefix"/share/applications/*.desktop)
id=$(basename "$entry" .desktop)
metainfo=$prefix/share/metainfo/$id.metainfo.xml
grep -qx "Exec=$prefix/bin/tonkalo %f" "$entry" || fail "Exec: $(grep Exec "$entry")"
desktop-file-validate "$entry" || fail "desktop-file-validate"
appstreamcli validate --pedantic --no-net "$metainfo" >"$work/appstream" 2>&1 ||
  fail "appstreamcli: $(cat "$work/appstream")"
! grep -E '^[EWP]:' "$work/appstream" || fail "appstreamcli --pedantic complains"
type=$(sed -n 's/^MimeType=\(.*\);$/\1/p' "$entry")
update-mime-database "$prefix/share/mime" >"$work/mime.log" 2>&1
[ -f "$prefix/share/mime/$type.xml" ] || fail "no type $type: $(cat "$work/mime.log")"
grep -aq "tonkalo-replay " "$prefix/share/mime/magic" || fail "$type is not known by its first line"

command -v gtk-launch >/dev/null || { echo "no gtk-launch (libgtk-3-bin): skipped"; exit 77; }
start_xvfb "$work"
# gtk-launch as user $1, the rest for the game, no program folder on PATH: a window.
launch() {
  local who=$1 as=() home=$work/home-$1
  shift
  mkdir -p "$home" && chmod 777 "$home"
  [ "$who" = root ] || as=(runuser -u "$who" --)
  "${as[@]}" env -i DISPLAY="$DISPLAY" HOME="$home" PATH=/usr/sbin:/usr/bin:/sbin:/bin \
    XDG_DATA_DIRS="$prefix/share:/usr/share" SDL_AUDIODRIVER=dummy gtk-launch "$id" "$@" \
    >"$work/launch.log" 2>&1 || fail "$(cat "$work/launch.log")"
  timeout 20 xdotool search --sync --onlyvisible --name '^Tonkalo$' >/dev/null ||
    fail "no window after gtk-launch as $who $*"
}
# Waits for the game to end, after sending it signal $1 if given.
ended() {
  [ $# = 0 ] || pkill "$1" -f "^$prefix/bin/tonkalo" || true
  for _ in $(seq 100); do pgrep -f "^$prefix/bin/tonkalo" >/dev/null || return 0; sleep 0.1; done
  fail "the game did not end ${1:+on $1}"
}
launch root && ended -TERM
# `nobody` needs to reach the prefix through every folder above it.
if [ "$(id -u)" = 0 ] && runuser -u nobody -- test -x "$prefix/bin/tonkalo" 2>/dev/null; then
  launch nobody && ended -TERM
else echo "the prefix is not open to nobody here: launched as root only"; fi
# A replay of 200 passes (3 s) that closes the window when it ends.
printf 'tonkalo-replay 1 tick-ms 15.625 highscore 0\n0 tick 0\n0 move 320 240\n200 close\n' \
  >"$work/short.tonkalo-replay"
launch root "$work/short.tonkalo-replay" && ended
echo "desktop_launch: ok"
