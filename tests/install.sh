#!/usr/bin/env bash
# The install rule: `cmake --install BUILD --prefix DIR` puts the program in
# DIR/bin, and the installed program runs a classification from there (in a
# folder of its own, with no other file of the build in reach).
#   tests/install.sh CMAKE BUILD
set -euo pipefail
cmake="$1" build="$2"
tmp=$(mktemp -d /tmp/talveninstall.XXXXXX)
trap 'rm -rf "$tmp"' EXIT
"$cmake" --install "$build" --prefix "$tmp/prefix" > /dev/null
[ -x "$tmp/prefix/bin/talven" ] || { echo "no program in $tmp/prefix/bin"; exit 1; }
mkdir "$tmp/run"
out=$(cd "$tmp/run" && "$tmp/prefix/bin/talven" -n 7 -k 4 -d 3 -q 2 --quiet)
case "$out" in
  "codes=1 n=7 k=4 d=3 q=2 "*) ;;
  *) echo "unexpected totals: $out"; exit 1 ;;
esac
[ -s "$tmp/run/7_4_3.2" ] || { echo "no result file"; exit 1; }
echo "installed and ran: $out"
