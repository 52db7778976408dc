#!/usr/bin/env bash
# Times the device wizard's device search over the device-manager stand-in with 1, 10 and 50
# players, against a plain listing of the same devices, in one run; prints the median of each
# and their ratio.
#   scripts/bench/devicesearch.sh [counts: 1,10,50] [rounds: 5]
#   ARCH=x64 scripts/bench/devicesearch.sh    the 64-bit build (default: the shipped i686 one)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
build="${BUILD_DIR:-$root/build}/${ARCH:-i686}"
. "$root/scripts/lib/wine.sh"
exe=$(find "$build" -name devicesearch_bench.exe -print -quit)
standin=$(find "$build" -name wmdm_standin.dll -print -quit)
[ -n "$exe" ] && [ -n "$standin" ] || { echo "build first: scripts/setup.sh" >&2; exit 2; }
work=$(mktemp -d "${TMPDIR:-/tmp}/vesperlin-search-bench.XXXXXX")
trap 'wine_stop; rm -rf "$work"' EXIT
winpath() { echo "Z:$(echo "$1" | tr '/' '\\')"; }
wine_env "${WINEPREFIX:-$build/bench-prefix}"
wine_start
regsvr32='C:\windows\system32\regsvr32.exe'
[ "${ARCH:-i686}" = i686 ] && regsvr32='C:\windows\syswow64\regsvr32.exe'
wine "$regsvr32" /s "$(winpath "$standin")" >/dev/null 2>&1 </dev/null
wine "$exe" "$(winpath "$work")" "${1:-1,10,50}" "${2:-5}" | tr -d '\r'
