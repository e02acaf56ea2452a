#!/usr/bin/env bash
# Builds the Debian packages tonkalo and tonkalo-data from a copy of the sources in OUT
# (the build tools write their results beside the source folder, so the copy keeps them
# inside OUT), then checks them with lintian. Usage: scripts/package.sh OUT
set -euo pipefail
cd "$(dirname "$0")/.."
out=$1

version=$(dpkg-parsechangelog -S Version)
project=$(sed -n 's/^project(Tonkalo VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
if [ "$version" != "$project" ]; then
  echo "package: debian/changelog is at $version but CMakeLists.txt at $project" >&2
  exit 1
fi

source=$out/tonkalo-$version
rm -rf "$out" && mkdir -p "$source"
# The files of the project, without build folders: what git knows of, or else the tree.
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  git ls-files -z --cached --others --exclude-standard |
    tar --null -T - -cf - | tar -xf - -C "$source"
else
  tar --exclude='./build*' --exclude=./.git -cf - . | tar -xf - -C "$source"
fi

(cd "$source" && DEB_BUILD_OPTIONS="parallel=$(nproc)" dpkg-buildpackage -b -us -uc)
changes=$out/tonkalo_${version}_$(dpkg-architecture -qDEB_HOST_ARCH).changes
echo "package: lintian $changes"
lintian --fail-on error "$changes"
echo "package: built" "$out"/tonkalo_"$version"_*.deb "$out"/tonkalo-data_"$version"_all.deb
