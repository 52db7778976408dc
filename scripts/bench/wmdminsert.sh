#!/usr/bin/env bash
# Inserts a title's parts (3 x 100 MB by default) into the device-manager stand-in's folder,
# with a progress callback, and copies the same files plainly, in one run; prints both times
# and their ratio.
#   scripts/bench/wmdminsert.sh [parts] [size-of-a-part-in-MB]
#   ARCH=x64 scripts/bench/wmdminsert.sh    the 64-bit build (default: the shipped i686 one)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
build="${BUILD_DIR:-$root/build}/${ARCH:-i686}"
. "$root/scripts/lib/wine.sh"
parts="${1:-3}"
size_mb="${2:-100}"
exe=$(find "$build" -name wmdminsert_bench.exe -print -quit)
standin=$(find "$build" -name wmdm_standin.dll -print -quit)
[ -n "$exe" ] && [ -n "$standin" ] || { echo "build first: scripts/setup.sh" >&2; exit 2; }
work=$(mktemp -d "${TMPDIR:-/tmp}/vesperlin-wmdm-bench.XXXXXX")
trap 'wine_stop; rm -rf "$work"' EXIT
winpath() { echo "Z:$(echo "$1" | tr '/' '\\')"; }
wine_env "${WINEPREFIX:-$build/bench-prefix}"
wine_start
regsvr32='C:\windows\system32\regsvr32.exe'
[ "${ARCH:-i686}" = i686 ] && regsvr32='C:\windows\syswow64\regsvr32.exe'
wine "$regsvr32" /s "$(winpath "$standin")" >/dev/null 2>&1 </dev/null
wine "$exe" "$(winpath "$work")" "$parts" "$size_mb" | tr -d '\r'
