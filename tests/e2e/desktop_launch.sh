#!/usr/bin/env bash
# The menu entry as a desktop's launcher uses it: the game installed into a prefix of
# its own, then started by its desktop id through gtk-launch, as root and as `nobody`,
# under Xvfb; the window must come up. First the entry's and the AppStream data's
# validators at their strictest; the launch is skipped (77) without gtk-launch.
# Usage: desktop_launch.sh TONKALO DATA_DIR WORK_DIR
set -euo pipefail
bin=$1 work=$3
build=$(dirname "$bin")
source "$(dirname "$0")/../support/xvfb.sh"
rm -rf "$work" && mkdir -p "$work"
chmod 755 "$work"
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" --component Unspecified >/dev/null
rm -f "$build/install_manifest_Unspecified.txt"

entry=$(ls "$prefix"/share/applications/*.desktop)
id=$(basename "$entry" .desktop)
metainfo=$prefix/share/metainfo/$id.metainfo.xml
[ -f "$metainfo" ] || fail "no AppStream data named after the desktop id $id"
grep -qx "Exec=$prefix/bin/tonkalo %f" "$entry" || fail "Exec is not the program's full path: $(grep Exec "$entry")"
desktop-file-validate "$entry" || fail "desktop-file-validate"
appstreamcli validate --pedantic --no-net "$metainfo" >"$work/appstream" 2>&1 ||
  fail "appstreamcli: $(cat "$work/appstream")"
! grep -E '^[EWP]:' "$work/appstream" || fail "appstreamcli --pedantic complains"

command -v gtk-launch >/dev/null || { echo "no gtk-launch (libgtk-3-bin): skipped"; exit 77; }
start_xvfb "$work"
# Started by id, with a PATH that lacks the program's folder; the window must appear.
launch() {
  local who=$1
  local home=$work/home-$who
  mkdir -p "$home" && chmod 777 "$home"
  local env=(env -i DISPLAY="$DISPLAY" HOME="$home" PATH=/usr/sbin:/usr/bin:/sbin:/bin
             XDG_DATA_DIRS="$prefix/share:/usr/share" SDL_AUDIODRIVER=dummy)
  local as=()
  [ "$who" = root ] || as=(runuser -u "$who" --)
  "${as[@]}" "${env[@]}" gtk-launch "$id" >"$work/launch-$who.log" 2>&1 ||
    fail "gtk-launch as $who: $(cat "$work/launch-$who.log")"
  timeout 20 xdotool search --sync --onlyvisible --name '^Tonkalo$' >/dev/null ||
    fail "no window after gtk-launch as $who"
  pkill -TERM -f "^$prefix/bin/tonkalo" || true
  for _ in $(seq 50); do pgrep -f "^$prefix/bin/tonkalo" >/dev/null || break; sleep 0.1; done
  ! pgrep -f "^$prefix/bin/tonkalo" >/dev/null || fail "the game did not end on SIGTERM"
}
launch root
# `nobody` needs to reach the prefix through every folder above it.
if [ "$(id -u)" = 0 ] && runuser -u nobody -- test -x "$prefix/bin/tonkalo" 2>/dev/null; then
  launch nobody
else
  echo "the prefix is not open to nobody here: launched as root only"
fi
echo "desktop_launch: ok"
