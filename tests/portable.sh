#!/usr/bin/env bash
# The default build runs on any x86-64 processor: under an emulated plain
# x86-64 (QEMU's qemu64 model: SSE3, no popcount instruction, no SSE4, no
# AVX) it takes its fallback paths and writes the files it writes on this
# machine, byte for byte but the elapsed time.  Skipped (status 77) for a
# build for the build machine only, off x86-64, or without qemu-x86_64
# (Debian package qemu-user).
#   tests/portable.sh PROGRAM
set -euo pipefail
bin="$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"
version=$("$bin" --version)
case "$version" in
  *"built for any x86-64 processor"*) ;;
  *) echo "not a portable x86-64 build: $version"; exit 77 ;;
esac
command -v qemu-x86_64 > /dev/null || { echo "qemu-x86_64 not found: skipped"; exit 77; }
emulated=$(qemu-x86_64 -cpu qemu64 "$bin" --version)
case "$emulated" in
  *"popcount table, 8-byte row scan"*) ;;
  *) echo "the emulated processor should have neither popcount nor AVX2: $emulated"; exit 1 ;;
esac
tmp=$(mktemp -d /tmp/talvenportable.XXXXXX)
trap 'rm -rf "$tmp"' EXIT
for args in "-n 10 -k 5 -d 3 -q 3" "-n 12 -k 5 -d 4 -q 2" "-n 7 -k 3 -d 4 -q 4" "-n 6 -k 3 -d 3 -q 7"; do
  name=$(echo "$args" | awk '{print $2 "_" $4 "_" $6 "." $8}')
  mkdir -p "$tmp/here" "$tmp/there"
  (cd "$tmp/here" && "$bin" $args --quiet > totals)
  (cd "$tmp/there" && qemu-x86_64 -cpu qemu64 "$bin" $args --quiet > totals)
  for f in "$name" "${name}h" "${name}inf"; do
    cmp <(grep -v 'Elapsed' "$tmp/here/$f") <(grep -v 'Elapsed' "$tmp/there/$f") ||
      { echo "$args: $f differs on the emulated processor"; exit 1; }
  done
  echo "$args: the same files ($(cut -d' ' -f1 "$tmp/here/totals"))"
  rm -rf "$tmp/here" "$tmp/there"
done
