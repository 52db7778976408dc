#!/usr/bin/env bash
# Inserts a title's parts (3 x 100 MB by default) into the device-manager stand-in's folder,
# with a progress callback, and copies the same files plainly, in one run; prints both times
# and their ratio.
#   scripts/bench/wmdminsert.sh [parts] [size-of-a-part-in-MB]
#   ARCH=x64 scripts/bench/wmdminsert.sh    the 64-bit build (default: the shipped i686 one)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
parts="${1:-3}"
size_mb="${2:-100}"
. "$root/scripts/bench/lib/wmdm-prefix.sh"
wmdm_bench_prefix wmdminsert_bench vesperlin-wmdm-bench
wine "$exe" "$(winpath "$work")" "$parts" "$size_mb" | tr -d '\r'
