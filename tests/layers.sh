#!/usr/bin/env bash
# The folders of src/ in pipeline order, bottom first: a file may include
# from its own folder and from the folders before it, never from one after.
#   layers.sh SRC layer1 layer2 ...
set -u
src=$1
shift
layers=("$@")
bad=0
for ((i = 0; i < ${#layers[@]}; i++)); do
  here=${layers[$i]}
  for f in "$src/$here"/*; do
    [ -f "$f" ] || continue
    while IFS= read -r inc; do
      dir=${inc%%/*}
      for ((j = i + 1; j < ${#layers[@]}; j++)); do
        if [ "$dir" = "${layers[$j]}" ]; then
          echo "$f includes $inc, from a later stage" >&2
          bad=1
        fi
      done
      known=0
      for l in "${layers[@]}"; do [ "$dir" = "$l" ] && known=1; done
      if [ $known = 0 ]; then
        echo "$f includes $inc, from a folder that is not a stage" >&2
        bad=1
      fi
    done < <(sed -n 's/^#include "\([^"]*\)".*/\1/p' "$f")
  done
done
for d in "$src"/*/; do
  name=$(basename "$d")
  known=0
  for l in "${layers[@]}"; do [ "$name" = "$l" ] && known=1; done
  [ $known = 1 ] || { echo "folder $name is not listed as a stage" >&2; bad=1; }
done
exit $bad
