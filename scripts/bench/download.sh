#!/usr/bin/env bash
# Downloads a file from the loopback test server at 12.5 MB/s, 50 MB/s and without a limit,
# in the same run with curl (natively), with the part download thread under Wine
# (download_bench.exe) and with a bare loop of WinINet reads of the thread's chunk size under
# Wine (download_bench.exe --bare); prints the times, the ratios thread/curl and thread/bare,
# and the microseconds per 10,240-byte chunk of the thread and of the bare loop.
#   BUILD_DIR=... ARCH=i686 [RATES="13107200 0"] scripts/bench/download.sh [size-in-MB]   (0: no limit)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
. "$root/scripts/lib/wine.sh"
export ARCH="$(wine_arch)"
build="${BUILD_DIR:-$root/build}/$ARCH"
. "$root/scripts/lib/http_server.sh"
size_mb="${1:-256}"
exe=$(find "$build" -name download_bench.exe -print -quit)
[ -n "$exe" ] || { echo "no download_bench.exe in $build; run scripts/setup.sh" >&2; exit 2; }
command -v curl >/dev/null || { echo "curl is needed" >&2; exit 2; }

wine_env "${WINEPREFIX:-$build/bench-prefix}"

work=$(mktemp -d "${TMPDIR:-/tmp}/vesperlin-download-bench.XXXXXX")
server_pid=""
stop_server() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null || true
  server_pid=""
}
cleanup() {
  stop_server
  wine_stop
  rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/root" "$work/out"
head -c "$((size_mb * 1024 * 1024))" /dev/urandom >"$work/root/part.bin"
target="Z:$(echo "$work/out/thread.bin" | tr '/' '\\')"

wine_start

field() {  # field NAME LINE: the value after NAME
  echo "$2" | awk -v name="$1" '{ for (i = 1; i < NF; i++) if ($i == name) print $(i + 1) }'
}

printf 'size: %d MB\n' "$size_mb"
printf '%-10s %10s %10s %10s %12s %12s %14s %14s\n' rate curl-s thread-s bare-s thread/curl thread/bare \
  thread-us/chunk bare-us/chunk
for rate in ${RATES:-13107200 52428800 0}; do
  if [ "$rate" = 0 ]; then
    label=unlimited
    http_server_start "$work" --root "$work/root" --lifetime 3600
  else
    label="$(echo "$rate / 1048576" | bc -l | xargs printf '%.1fMB/s')"
    http_server_start "$work" --root "$work/root" --lifetime 3600 --rate "$rate"
  fi
  url="http://127.0.0.1:$port/root/part.bin"

  # All three write the file to the same disk; the page cache is warm for all.
  curl_seconds=$(curl -s -o "$work/out/curl.bin" -w '%{time_total}' "$url")
  cmp -s "$work/root/part.bin" "$work/out/curl.bin" || { echo "curl's copy differs" >&2; exit 1; }
  rm -f "$work/out/curl.bin"

  line=$(wine "$exe" "$url" "$target" | tr -d '\r')
  cmp -s "$work/root/part.bin" "$work/out/thread.bin" || { echo "the thread's copy differs" >&2; exit 1; }
  rm -f "$work/out/thread.bin"
  thread_seconds=$(field seconds "$line")
  thread_chunk=$(field us-per-chunk "$line")

  line=$(wine "$exe" --bare "$url" "$target" | tr -d '\r')
  cmp -s "$work/root/part.bin" "$work/out/thread.bin" || { echo "the bare loop's copy differs" >&2; exit 1; }
  rm -f "$work/out/thread.bin"
  bare_seconds=$(field seconds "$line")
  bare_chunk=$(field us-per-chunk "$line")

  printf '%-10s %10.3f %10.3f %10.3f %12.3f %12.3f %14.2f %14.2f\n' "$label" "$curl_seconds" "$thread_seconds" \
    "$bare_seconds" "$(echo "$thread_seconds / $curl_seconds" | bc -l)" \
    "$(echo "$thread_seconds / $bare_seconds" | bc -l)" "$thread_chunk" "$bare_chunk"
  stop_server
done
