#!/usr/bin/env bash
# Runs a benchmark program of the build under Wine and prints its figures.
#   scripts/bench/run.sh mediacore_bench
#   scripts/bench/run.sh library_bench     (the console's MediaDB.dat, 10,000 titles)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
build="${BUILD_DIR:-$root/build}"
name="${1:?benchmark program name}"
shift
exe=$(find "$build" -name "$name.exe" -print -quit)
[ -n "$exe" ] || { echo "no $name.exe in $build; run scripts/setup.sh" >&2; exit 2; }
export WINEPREFIX="${WINEPREFIX:-$build/bench-prefix}" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
[ -d "$WINEPREFIX" ] || wineboot -i >/dev/null 2>&1 </dev/null || true
wineserver -p >/dev/null 2>&1 </dev/null || true
wine cmd /c exit >/dev/null 2>&1 </dev/null || true
status=0
VESPERLIN_SOURCE_DIR="$root" wine "$exe" "$@" || status=$?

wineserver -k >/dev/null 2>&1 || true
exit $status
