#!/usr/bin/env bash
# Times the console under Wine on a library of 10,000 titles: a start of Larkmoor.exe until
# its frame is shown with the list filled, and refills of the list view in Console and
# Details mode (console_bench.exe). With a thumbnail for every title it also times the rows
# on screen and then every row getting their pictures, with the console's working set then;
# and it times 2,000 titles added one by one with their thumbnails (milliseconds a title,
# block by block: flat when adding does not slow down). Uses an X display of its own when
# none is set.
#   ARCH=x64 scripts/bench/console.sh     the 64-bit build (default: the shipped i686 one)
#   scripts/bench/console.sh add          only the titles added one by one
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
. "$root/scripts/lib/wine.sh"
export ARCH="$(wine_arch)"
build="${BUILD_DIR:-$root/build}/$ARCH"
exe=$(find "$build" -name console_bench.exe -print -quit)
[ -n "$exe" ] || { echo "no console_bench.exe in $build; run scripts/setup.sh" >&2; exit 2; }
trap 'wine_stop; xvfb_stop' EXIT
xvfb_start
wine_env "${WINEPREFIX:-$build/bench-prefix}"
wine_start
wine "$exe" "$@"
