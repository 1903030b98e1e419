#!/usr/bin/env bash
# What a split costs: a whole run on one thread against the same run in M
# parts made one after another (one core each, as on a cluster), then
# merged.  Prints the whole run's processor time, the sum of the parts'
# (each part's cpu= figure, its split-level choice and skeleton included),
# their ratio, and the merge's wall time; the merged result must equal the
# whole run's (times masked).
#   bench/parts.sh                  the fixed list below
#   bench/parts.sh M N K D Q        one split
# Runs in a scratch folder under /tmp; builds the program first (make
# build), or times TALVEN_BIN (see program.sh).
set -euo pipefail
source "$(dirname "$0")/program.sh"

if [ $# -eq 5 ]; then
  list=("$*")
else
  list=("20 15 7 4 2" "100 16 8 4 2" "100 14 6 4 2")
fi

printf '%-14s %6s %12s %14s %7s %10s\n' parameters parts "whole (cpu)" "parts (cpu)" ratio "merge (s)"
for p in "${list[@]}"; do
  set -- $p
  M=$1
  args="-n $2 -k $3 -d $4 -q $5 --quiet"
  name="$2_$3_$4.$5"
  dir=$(mktemp -d /tmp/talvenparts.XXXXXX)
  mkdir "$dir/whole" "$dir/parts"
  whole=$(cd "$dir/whole" && "$bin" $args | sed -n 's/.*cpu=\([0-9.]*\).*/\1/p')
  sum=0
  for ((i = 0; i < M; i++)); do
    cpu=$(cd "$dir/parts" && "$bin" $args --part "$i/$M" | sed -n 's/.*cpu=\([0-9.]*\).*/\1/p')
    sum=$(echo "$sum + $cpu" | bc -l)
  done
  start=$(date +%s.%N)
  (cd "$dir" && "$bin" --merge parts --quiet > /dev/null)
  merge=$(echo "$(date +%s.%N) - $start" | bc -l)
  for f in "$name" "${name}h" "${name}inf"; do
    cmp -s <(grep -v 'Elapsed' "$dir/whole/$f") <(grep -v 'Elapsed' "$dir/parts/$f") ||
      { echo "$f: the merged parts differ from the whole run" >&2; exit 1; }
  done
  printf '%-14s %6s %12s %14.2f %7.2f %10.2f\n' "[$2,$3,$4]_$5" "$M" "$whole" "$sum" "$(echo "$sum / $whole" | bc -l)" \
    "$merge"
  rm -rf "$dir"
done
