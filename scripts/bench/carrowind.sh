#!/usr/bin/env bash
# Times the device wizard under Wine: starts of Carrowind.exe until its Welcome page is shown
# with a 12-part title read, beside a start of the same program without a playlist (to its
# message box), medians of five after one warm-up each (carrowind_bench.exe). Uses an X
# display of its own when none is set.
#   ARCH=x64 scripts/bench/carrowind.sh     the 64-bit build (default: the shipped i686 one)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
build="${BUILD_DIR:-$root/build}/${ARCH:-i686}"
. "$root/scripts/lib/wine.sh"
exe=$(find "$build" -name carrowind_bench.exe -print -quit)
[ -n "$exe" ] || { echo "no carrowind_bench.exe in $build; run scripts/setup.sh" >&2; exit 2; }
trap 'wine_stop; xvfb_stop' EXIT
xvfb_start
wine_env "${WINEPREFIX:-$build/bench-prefix}"
wine_start
wine "$exe"
