#!/usr/bin/env bash
# The folders under src/ are layers: a file may include its own folder and the folders
# below it, never one above. A circle between folders therefore fails here, naming the
# include that closes it. The rooms of platform/ count as folders of their own, and the
# backends' rooms are private: only the entry (app/) may include them, so the game
# reaches the machine through the core's door and the raster layer alone.
# Usage: check_layers.sh [SRC_DIR]
set -euo pipefail
src=${1:-$(dirname "$0")/../src}

# Bottom to top; folders on one line share a level and may not include each other.
levels=(
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
# Who, besides the platform's own rooms above them, may include these.
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

bad=0
while IFS= read -r file; do
  from=$(folder_of "${file#"$src"/}")
  if [ -z "${level[$from]+set}" ]; then
    echo "$file: folder '$from' has no place in the layers (add it to $0)"
    bad=1
    continue
  fi
  while IFS= read -r line; do
    to=$(folder_of "$line")
    [ "$to" = "$from" ] && continue
    [ -z "${level[$to]+set}" ] && continue  # a header beside the file, not a folder
    if [ "${level[$to]}" -ge "${level[$from]}" ]; then
      echo "$file: $from may not include $line (it is not below $from)"
      bad=1
    elif [ -n "${private[$to]+set}" ] && [ "${from%%/*}" != platform ] &&
         [[ " ${private[$to]} " != *" $from "* ]]; then
      echo "$file: $from may not include $line ($to is for ${private[$to]} only)"
      bad=1
    fi
  done < <(grep -E '^#include "[a-z_]+/' "$file" | sed -E 's/^#include "([^"]+)".*/\1/')
done < <(find "$src" -name '*.h' -o -name '*.cpp' | sort)

[ "$bad" -eq 0 ] && echo "layers: every include points down"
exit "$bad"
