#!/usr/bin/env bash
# Whole classifications through the optimised program: for each parameter
# set, the number of codes, the wall time and the peak memory.
#   bench/runs.sh            the fixed list below
#   bench/runs.sh N K D Q    one parameter set
# Runs in a scratch folder under /tmp; builds the program first (make build).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
make -C "$root" build >/dev/null
bin="$root/build/talven"

if [ $# -eq 4 ]; then
  list=("$*")
else
  list=("24 12 8 2" "14 6 4 2" "15 7 4 2" "10 5 3 3" "10 5 4 4" "8 4 4 5" "7 3 4 7")
fi

printf '%-16s %10s %10s %12s\n' "parameters" "codes" "wall (s)" "peak (KiB)"
for p in "${list[@]}"; do
  set -- $p
  dir=$(mktemp -d /tmp/talvenbench.XXXXXX)
  ( cd "$dir" &&
    printf '2\n%s\n%s\n%s\n%s\n1\n0\n1\n8\n' "$1" "$2" "$3" "$4" |
      /usr/bin/time -f '%e %M' -o time.txt "$bin" > out.txt )
  codes=$(grep -a -o 'Constructed codes: [0-9]*' "$dir/out.txt" | tail -1 | awk '{print $3}')
  read -r wall peak < "$dir/time.txt"
  printf '%-16s %10s %10s %12s\n' "[$1,$2,$3]_$4" "$codes" "$wall" "$peak"
  rm -rf "$dir"
done
