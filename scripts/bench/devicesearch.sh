#!/usr/bin/env bash
# Times the device wizard's device search over the device-manager stand-in with 1, 10 and 50
# players, against a plain listing of the same devices, in one run; prints the median of each
# and their ratio.
#   scripts/bench/devicesearch.sh [counts: 1,10,50] [rounds: 5]
#   ARCH=x64 scripts/bench/devicesearch.sh    the 64-bit build (default: the shipped i686 one)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
. "$root/scripts/bench/lib/wmdm-prefix.sh"
wmdm_bench_prefix devicesearch_bench vesperlin-search-bench
wine "$exe" "$(winpath "$work")" "${1:-1,10,50}" "${2:-5}" | tr -d '\r'
