#!/usr/bin/env bash
# Downloads a title of 20 parts of 20 MB each through the console's download queue
# (queue_bench.exe under Wine) from the loopback test server, and in the same run the same 20
# files one after another with curl: once with the server unlimited, once limited to
# 12.5 MB/s (a 100 Mbit/s link). Prints both totals, their ratio, the cost per 10,240 bytes
# and the gap between the end of one part and the start of the next.
#   BUILD_DIR=... [ARCH=x64] scripts/bench/queue.sh [parts] [MB per part]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
. "$root/scripts/lib/wine.sh"
export ARCH="$(wine_arch)"
build="${BUILD_DIR:-$root/build}/$ARCH"
. "$root/scripts/lib/http_server.sh"
parts="${1:-20}"
size_mb="${2:-20}"
exe=$(find "$build" -name queue_bench.exe -print -quit)
[ -n "$exe" ] || { echo "no queue_bench.exe in $build; run scripts/setup.sh" >&2; exit 2; }
command -v curl >/dev/null || { echo "curl is needed" >&2; exit 2; }

wine_env "${WINEPREFIX:-$build/bench-prefix}"
work=$(mktemp -d "${TMPDIR:-/tmp}/vesperlin-queue-bench.XXXXXX")
server_pid=""
stop_server() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null
  server_pid=""
}
cleanup() {
  stop_server
  wine_stop
  rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/root"
for n in $(seq -f %02g 1 "$parts"); do
  head -c "$((size_mb * 1024 * 1024))" /dev/urandom >"$work/root/part$n.bin"
done
total_bytes=$((parts * size_mb * 1024 * 1024))

start_server() {  # $1: bytes per second, 0 for no limit
  http_server_start "$work" --root "$work/root" --rate "$1" --lifetime 3600
}

run_round() {  # $1: label, $2: bytes per second
  start_server "$2"
  local base="http://127.0.0.1:$port/root"
  rm -rf "$work/curl" "$work/queue"
  mkdir -p "$work/curl" "$work/queue"
  local curl_start curl_end
  curl_start=$(date +%s.%N)
  for n in $(seq -f %02g 1 "$parts"); do
    curl -s -o "$work/curl/part$n.bin" "$base/part$n.bin"
  done
  curl_end=$(date +%s.%N)
  local curl_seconds
  curl_seconds=$(echo "$curl_end - $curl_start" | bc -l)
  local line
  line=$(wine "$exe" "$base" "$parts" "Z:$(echo "$work/queue" | tr '/' '\\')" | tr -d '\r')
  for n in $(seq -f %02g 1 "$parts"); do
    cmp -s "$work/root/part$n.bin" "$work/queue/part$n.bin" || { echo "the queue's part $n differs" >&2; exit 1; }
  done
  local queue_seconds gap
  queue_seconds=$(echo "$line" | awk '{ for (i = 1; i < NF; i++) if ($i == "seconds") print $(i + 1) }')
  gap=$(echo "$line" | awk '{ for (i = 1; i < NF; i++) if ($i == "gap_ms") print $(i + 1) }')
  local chunks
  chunks=$(echo "$total_bytes / 10240" | bc -l)
  printf '%s: curl %.3f s, queue %.3f s, ratio queue/curl %.3f, queue %.2f us per 10,240 bytes (%.2f us over curl), gap between parts %.2f ms\n' \
    "$1" "$curl_seconds" "$queue_seconds" "$(echo "$queue_seconds / $curl_seconds" | bc -l)" \
    "$(echo "1000000 * $queue_seconds / $chunks" | bc -l)" \
    "$(echo "1000000 * ($queue_seconds - $curl_seconds) / $chunks" | bc -l)" "$gap"
  stop_server
}

wine_start
echo "title: $parts parts of $size_mb MB"
run_round "loopback, unlimited" 0
run_round "limited to 12.5 MB/s" 13107200
