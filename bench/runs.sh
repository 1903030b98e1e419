#!/usr/bin/env bash
# Whole classifications through the optimised program, as the menu starts
# them: for each parameter set the number of codes, the wall time, the time
# per code and the peak memory.
#   bench/runs.sh                       the fixed list below
#   bench/runs.sh N K D Q [DW [SO]]     one parameter set (dw, self-orthogonal)
# Runs in a scratch folder under /tmp; builds the program first (make build),
# or times the program named by TALVEN_BIN (an older build, for before/after).
set -euo pipefail
source "$(dirname "$0")/program.sh"

if [ $# -ge 4 ]; then
  list=("$*")
else
  list=("24 12 8 2" "14 6 4 2" "15 7 4 2" "16 8 4 2" "10 5 3 3" "12 6 4 3" "10 5 4 4" "8 4 4 5" "7 3 4 7"
        "32 16 8 2 4 0")
fi

printf '%-22s %10s %10s %12s %12s\n' "parameters" "codes" "wall (s)" "us per code" "peak (KiB)"
for p in "${list[@]}"; do
  set -- $p
  dw=${5:-1} so=${6:-0}
  dir=$(mktemp -d /tmp/talvenbench.XXXXXX)
  ( cd "$dir" &&
    printf '2\n%s\n%s\n%s\n%s\n%s\n%s\n1\n8\n' "$1" "$2" "$3" "$4" "$dw" "$so" |
      /usr/bin/time -f '%e %M' -o time.txt "$bin" > out.txt )
  codes=$(grep -a -o 'Constructed codes: [0-9]*' "$dir/out.txt" | tail -1 | awk '{print $3}')
  read -r wall peak < "$dir/time.txt"
  label="[$1,$2,$3]_$4"
  [ "$dw" != 1 ] && label="$label dw=$dw"
  [ "$so" != 0 ] && label="$label so"
  printf '%-22s %10s %10s %12.0f %12s\n' "$label" "$codes" "$wall" "$(echo "$wall * 1000000 / ($codes + 0.000001)" | bc -l)" "$peak"
  rm -rf "$dir"
done
