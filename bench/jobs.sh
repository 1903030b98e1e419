#!/usr/bin/env bash
# The speed-up of --jobs: whole classifications through the command line
# with 1, 2, ... threads up to every core, each checked against the first
# (codes), with wall time, processor time and peak memory.
#   bench/jobs.sh                 the fixed list below
#   bench/jobs.sh N K D Q         one parameter set
# Runs in a scratch folder under /tmp; builds the program first (make build).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
make -C "$root" build >/dev/null
bin="$root/build/talven"
cores=$(nproc)
if [ $# -eq 4 ]; then
  list=("$*")
else
  list=("15 7 4 2" "16 8 4 2" "11 6 4 4")
fi
jobs=(1)
for ((j = 2; j < cores; j *= 2)); do jobs+=($j); done
[ "$cores" -gt 1 ] && jobs+=($cores)

printf '%-14s %5s %10s %10s %10s %9s %12s\n' parameters jobs codes "wall (s)" "cpu (s)" speed-up "peak (KiB)"
for p in "${list[@]}"; do
  set -- $p
  base=""
  for j in "${jobs[@]}"; do
    dir=$(mktemp -d /tmp/talvenjobs.XXXXXX)
    ( cd "$dir" && /usr/bin/time -f '%e %M' -o time.txt "$bin" -n "$1" -k "$2" -d "$3" -q "$4" --jobs "$j" --quiet > out.txt )
    read -r wall peak < "$dir/time.txt"
    codes=$(sed -n 's/.*codes=\([0-9]*\).*/\1/p' "$dir/out.txt")
    cpu=$(sed -n 's/.*cpu=\([0-9.]*\).*/\1/p' "$dir/out.txt")
    [ -z "$base" ] && base=$wall
    printf '%-14s %5s %10s %10s %10s %9.2f %12s\n' "[$1,$2,$3]_$4" "$j" "$codes" "$wall" "$cpu" \
      "$(echo "$base / $wall" | bc -l)" "$peak"
    rm -rf "$dir"
  done
done
