#!/usr/bin/env bash
# Long codes of small dimension (simplex and Griesmer codes, arcs, codes one
# step past the Griesmer bound, projective codes) and the short codes of
# larger dimension, through the command line on one thread:
# for each parameter set the number of codes, the processor time of the
# totals line, the wall time and the peak memory.  Runs that pass the time
# limit are stopped and shown as such.
#   bench/long.sh                       the fixed list below
#   bench/long.sh N K D Q [OPTIONS...]  one parameter set (options passed on,
#                                       e.g. --complete-levels)
#   TALVEN_LIMIT=SECONDS                the time limit per run (default 120)
# Runs in a scratch folder under /tmp; builds the program first (make build),
# or times the program named by TALVEN_BIN (an older build, for before/after).
# Needs /usr/bin/time (Debian package `time`).
set -euo pipefail
source "$(dirname "$0")/program.sh"
limit="${TALVEN_LIMIT:-120}"

if [ $# -ge 4 ]; then
  list=("$*")
else
  list=("31 3 25 5" "63 6 32 2" "40 3 27 3" "24 3 19 5" "57 3 49 7" "127 7 64 2" "156 4 125 5" "400 4 343 7"
        "26 3 20 5" "32 3 25 5" "29 3 24 7" "37 2 30 7" "16 4 1 3 --dual 3" "20 4 1 3 --dual 3" "50 4 42 7" "128 8 64 2"
        "15 7 4 2" "16 8 4 2" "12 6 4 3" "10 5 4 4" "8 4 1 7")
fi

printf '%-28s %10s %10s %10s %12s\n' "parameters" "codes" "cpu (s)" "wall (s)" "peak (KiB)"
for p in "${list[@]}"; do
  set -- $p
  dir=$(mktemp -d /tmp/talvenlong.XXXXXX)
  status=0
  ( cd "$dir" &&
    /usr/bin/time -f '%e %M' -o time.txt timeout "$limit" "$bin" -n "$1" -k "$2" -d "$3" -q "$4" --quiet "${@:5}" \
      > out.txt 2> err.txt ) || status=$?
  read -r wall peak < <(tail -1 "$dir/time.txt")
  label="[$1,$2,$3]_$4 ${*:5}"
  if [ "$status" -eq 0 ]; then
    codes=$(sed -n 's/.*codes=\([0-9]*\).*/\1/p' "$dir/out.txt")
    cpu=$(sed -n 's/.*cpu=\([0-9.]*\).*/\1/p' "$dir/out.txt")
  else
    codes="-" cpu="> $limit s"
  fi
  printf '%-28s %10s %10s %10s %12s\n' "$label" "$codes" "$cpu" "$wall" "$peak"
  rm -rf "$dir"
done
