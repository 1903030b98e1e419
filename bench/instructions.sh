#!/bin/sh
# Instruction counts of four small runs under callgrind, one line a run:
# the figure a refactoring must keep (within 2 %) where wall time is too
# noisy on a shared machine.  Usage: bench/instructions.sh BINARY [BINARY2]
# With two binaries every run is counted for both, with the ratio.
set -e
[ -n "$1" ] || { echo "usage: $0 BINARY [BINARY2]" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
count() {  # binary, run options -> instructions
    dir="$work/$(date +%s%N)"; mkdir "$dir"
    (cd "$dir" && valgrind --tool=callgrind --callgrind-out-file="$dir/cg.out" "$@" --quiet >/dev/null 2>"$dir/err") ||
        { cat "$dir/err" >&2; exit 1; }
    sed -n 's/^summary: //p' "$dir/cg.out"
}
# The row search is pinned (TALVEN_ROWS): chosen by measured time it would
# make the counts of one binary differ from run to run.
export TALVEN_ROWS=${TALVEN_ROWS:-enumeration}
for run in "-n 13 -k 6 -d 4 -q 2" "-n 11 -k 5 -d 4 -q 3 --dual 3" "-n 9 -k 4 -d 4 -q 4" "-n 8 -k 3 -d 5 -q 7"; do
    a=$(count "$1" $run)
    if [ -n "$2" ]; then
        b=$(count "$2" $run)
        echo "$run: $a -> $b ($(awk "BEGIN{printf \"%.4f\", $b/$a}"))"
    else
        echo "$run: $a"
    fi
done
