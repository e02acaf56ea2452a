#!/usr/bin/env bash
# Installs the Debian packages that Tonkalo needs, when they are missing. Safe to run
# again: it does nothing once everything is there.
#   setup.sh play      what building and playing the game needs (the default)
#   setup.sh test      that, and what the tests, benchmarks and fuzz targets need
#   setup.sh package   that of play, and what building a Debian package needs
# As an ordinary user it runs apt-get through sudo, which may ask for the password; when
# it cannot (no sudo, no terminal to ask on), it prints the one command to run.
set -euo pipefail

profile=${1:-play}
play_packages=(
  build-essential cmake ninja-build pkg-config
  libsdl2-dev libsdl2-mixer-dev
  libcairo2-dev libmp3lame-dev libpng-dev fonts-dejavu-core
  libfreetype-dev libfontconfig-dev fonts-vlgothic
)
test_packages=(
  libgtest-dev libgmock-dev
  xvfb xdotool x11-utils imagemagick bc openbox
  desktop-file-utils appstream man-db libgtk-3-bin
  emscripten chromium nodejs npm
  firefox-esr webkit2gtk-driver
  clang libclang-rt-14-dev
)
package_packages=(
  dpkg-dev debhelper fakeroot lintian
)
case "$profile" in
  play) packages=("${play_packages[@]}") ;;
  test) packages=("${play_packages[@]}" "${test_packages[@]}") ;;
  package) packages=("${play_packages[@]}" "${package_packages[@]}") ;;
  *) echo "setup: unknown profile '$profile' (play, test or package)" >&2; exit 2 ;;
esac

# A package counts as there when it is installed or an installed one provides it (a
# nodejs from elsewhere may bring its own npm).
provided=$(dpkg-query -W -f='${db:Status-Abbrev}|${Provides}\n' 2>/dev/null |
  awk -F'|' '$1 ~ /^ii/ { print $2 }' | tr ',' '\n' | sed -E 's/\(.*\)//; s/^ +//; s/ +$//')
missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" &&
     ! grep -qxF "$p" <<<"$provided"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if ! command -v apt-get >/dev/null 2>&1; then
  echo "setup: this is not a Debian-like system; please install: ${missing[*]}" >&2
  exit 1
fi
if [ "$(id -u)" -eq 0 ]; then
  sudo=()
elif command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then
  sudo=(sudo -n)
elif command -v sudo >/dev/null 2>&1 && (: </dev/tty) 2>/dev/null; then
  echo "setup: installing ${missing[*]} needs root; sudo may ask for your password"
  sudo=(sudo)
else
  if command -v sudo >/dev/null 2>&1; then
    echo "setup: missing packages; run: sudo apt-get install ${missing[*]}" >&2
  else
    echo "setup: missing packages; run as root: apt-get install ${missing[*]}" >&2
  fi
  exit 1
fi

echo "setup: installing ${missing[*]}"
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq \
  --no-install-recommends "${missing[@]}" >/dev/null
