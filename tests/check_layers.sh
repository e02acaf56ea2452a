#!/usr/bin/env bash
# The folders under src/ are layers: a file may include its own folder and the folders
# below it, never one above. A circle between folders therefore fails here, naming the
# include that closes it. Usage: check_layers.sh [SRC_DIR]
set -euo pipefail
src=${1:-$(dirname "$0")/../src}

# Bottom to top; folders on one line share a level and may not include each other.
levels=(
  "platform"
  "services"
  "gfx audio"
  "board hud"
  "game"
  "app"
)
declare -A level
for i in "${!levels[@]}"; do
  for folder in ${levels[$i]}; do level[$folder]=$i; done
done

bad=0
while IFS= read -r file; do
  from=${file#"$src"/}
  from=${from%%/*}
  if [ -z "${level[$from]+set}" ]; then
    echo "$file: folder '$from' has no place in the layers (add it to $0)"
    bad=1
    continue
  fi
  while IFS= read -r line; do
    to=$line
    to=${to%%/*}
    [ "$to" = "$from" ] && continue
    [ -z "${level[$to]+set}" ] && continue  # a header beside the file, not a folder
    if [ "${level[$to]}" -ge "${level[$from]}" ]; then
      echo "$file: $from may not include $line (it is not below $from)"
      bad=1
    fi
  done < <(grep -E '^#include "[a-z_]+/' "$file" | sed -E 's/^#include "([^"]+)".*/\1/')
done < <(find "$src" -name '*.h' -o -name '*.cpp' | sort)

[ "$bad" -eq 0 ] && echo "layers: every include points down"
exit "$bad"
