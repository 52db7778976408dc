#!/usr/bin/env bash
# Transfers a 200 MB file through the Zune device server into the portable-devices stand-in's
# folder and copies the same file plainly, in one run, and prints both times and their ratio.
#   scripts/bench/zunetransfer.sh [size-in-MB]
#   ARCH=x64 scripts/bench/zunetransfer.sh    the 64-bit build (default: the shipped i686 one)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
. "$root/scripts/lib/wine.sh"
export ARCH="$(wine_arch)"
build="${BUILD_DIR:-$root/build}/$ARCH"
size_mb="${1:-200}"
exe=$(find "$build" -name zunetransfer_bench.exe -print -quit)
server=$(find "$build" -name Corvatine.dll -print -quit)
[ -n "$exe" ] && [ -n "$server" ] || { echo "build first: scripts/setup.sh" >&2; exit 2; }
work=$(mktemp -d "${TMPDIR:-/tmp}/vesperlin-zune-bench.XXXXXX")
trap 'wine_stop; rm -rf "$work"' EXIT
winpath() { echo "Z:$(echo "$1" | tr '/' '\\')"; }
wine_env "${WINEPREFIX:-$build/bench-prefix}"
wine_start
wine_register_standins "$build" "$ARCH" || true
wine "$exe" "$(winpath "$work")" "$size_mb" "$(winpath "$server")" | tr -d '\r'
