#!/usr/bin/env bash
# Runs a benchmark program of the build under Wine and prints its figures.
#   scripts/bench/run.sh mediacore_bench
#   scripts/bench/run.sh library_bench     (the console's MediaDB.dat: 10,000 and 100,000 titles,
#                                           with and without thumbnails)
#   scripts/bench/run.sh dialog_bench      (opening a dialog of 200 controls)
#   ARCH=x64 scripts/bench/run.sh ...       the 64-bit build (default: the shipped i686 one)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
. "$root/scripts/lib/wine.sh"
export ARCH="$(wine_arch)"
build="${BUILD_DIR:-$root/build}/$ARCH"
name="${1:?benchmark program name}"
shift
exe=$(find "$build" -name "$name.exe" -print -quit)
[ -n "$exe" ] || { echo "no $name.exe in $build; run scripts/setup.sh" >&2; exit 2; }
wine_env "${WINEPREFIX:-$build/bench-prefix}"
trap 'xvfb_stop' EXIT
xvfb_start  # window benchmarks (dialog_bench) need a display
wine_start
status=0
VESPERLIN_SOURCE_DIR="$root" wine "$exe" "$@" || status=$?
wine_stop
exit $status
