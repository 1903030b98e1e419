# The program a benchmark script times, sourced by runs.sh and long.sh:
# TALVEN_BIN when it is set (an older build, for before/after; a relative
# path is taken from where the script was started), else this checkout's
# optimised build, made first.  Sets root and bin.
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
if [ -n "${TALVEN_BIN:-}" ]; then
  case "$TALVEN_BIN" in
    */*) bin="$(cd "$(dirname "$TALVEN_BIN")" && pwd)/$(basename "$TALVEN_BIN")" ;;
    *) bin="$TALVEN_BIN" ;;
  esac
else
  make -C "$root" build >/dev/null
  bin="$root/build/talven"
fi
