#!/usr/bin/env bash
# The folders under src/ are layers: a file may include its own folder and the folders
# below it, never one above. The rooms of platform/ count as folders of their own, and
# those behind the core's door are private: only the entry (app/) may reach them, through
# any chain of headers, so the game reaches the machine through the door and the raster
# layer alone.
# Usage: check_layers.sh [SRC_DIR]
set -euo pipefail
src=${1:-$(dirname "$0")/../src}

# Bottom to top; folders on one line share a level and may not include each other.
# "platform" is the headers directly in src/platform/, the words the door shares.
levels=(
  "platform"
  "platform/raster platform/files"
  "platform/cli"
  "platform/core"
  "platform/sdl platform/headless platform/web"
  "services"
  "gfx audio"
  "board hud"
  "game"
  "app"
)
# Who, besides the platform's own rooms, may reach these.
declare -A private=(
  [platform/sdl]="app" [platform/headless]="app" [platform/web]="app"
  [platform/files]="app" [platform/cli]="app"
)
declare -A level
for i in "${!levels[@]}"; do
  for folder in ${levels[$i]}; do level[$folder]=$i; done
done

# The folder a path under src/ belongs to: platform's rooms by two names, others by one.
folder_of() {
  local path=$1 first=${1%%/*}
  if [ "$first" = platform ]; then
    local rest=${path#platform/}
    [ "$rest" = "$path" ] || [ "${rest%%/*}" = "$rest" ] && { echo platform; return; }
    echo "platform/${rest%%/*}"
  else
    echo "$first"
  fi
}

# Each file's own includes of project headers, as paths under src/.
declare -A direct
files=$(cd "$src" && find . \( -name '*.h' -o -name '*.cpp' \) | sed 's|^\./||' | sort)
for file in $files; do
  direct[$file]=$(sed -nE 's/^#include "([a-z_]+\/[^"]+)".*/\1/p' "$src/$file" | tr '\n' ' ')
done

# Every header `file` reaches, one a line with the include of its own that brings it in.
reached() {
  local -A seen=()
  local queue=() header via next
  for header in ${direct[$1]}; do queue+=("$header:$header"); done
  while [ ${#queue[@]} -gt 0 ]; do
    header=${queue[0]%%:*} via=${queue[0]#*:} queue=("${queue[@]:1}")
    [ -n "${seen[$header]+set}" ] && continue
    seen[$header]=1 && echo "$header $via"
    for next in ${direct[$header]-}; do queue+=("$next:$via"); done
  done
}

bad=0
for file in $files; do
  from=$(folder_of "$file")
  if [ -z "${level[$from]+set}" ]; then
    echo "$file: folder '$from' has no place in the layers (add it to $0)"
    bad=1
    continue
  fi
  while read -r header via; do
    to=$(folder_of "$header")
    [ "$to" = "$from" ] && continue
    [ -z "${level[$to]+set}" ] && continue  # a header beside the file, not a folder
    how="include $via"
    [ "$via" = "$header" ] || how="include $via (it brings in $header)"
    if [ "${level[$to]}" -ge "${level[$from]}" ]; then
      echo "$file: $from may not $how: $to is not below $from"
      bad=1
    elif [ -n "${private[$to]+set}" ] && [ "${from%%/*}" != platform ] &&
         [[ " ${private[$to]} " != *" $from "* ]]; then
      echo "$file: $from may not $how: $to is for ${private[$to]} only"
      bad=1
    fi
  done < <(reached "$file")
done

[ "$bad" -eq 0 ] && echo "layers: every include points down, and the private rooms stay private"
exit "$bad"
