#!/usr/bin/env bash
# Downloads a 512 MB file from the loopback test server twice in one run: with the part
# download thread under Wine (download_bench.exe) and with curl natively, and prints both
# times and their ratio.
#   BUILD_DIR=... scripts/bench/download.sh [size-in-MB]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
. "$root/scripts/lib/wine.sh"
export ARCH="$(wine_arch)"
build="${BUILD_DIR:-$root/build}/$ARCH"
. "$root/scripts/lib/http_server.sh"
size_mb="${1:-512}"
exe=$(find "$build" -name download_bench.exe -print -quit)
[ -n "$exe" ] || { echo "no download_bench.exe in $build; run scripts/setup.sh" >&2; exit 2; }
command -v curl >/dev/null || { echo "curl is needed" >&2; exit 2; }

wine_env "${WINEPREFIX:-$build/bench-prefix}"

work=$(mktemp -d "${TMPDIR:-/tmp}/vesperlin-download-bench.XXXXXX")
server_pid=""
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null
  wine_stop
  rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/root" "$work/out"
head -c "$((size_mb * 1024 * 1024))" /dev/urandom >"$work/root/part.bin"

http_server_start "$work" --root "$work/root" --lifetime 3600
url="http://127.0.0.1:$port/root/part.bin"

wine_start

# Both write the file to the same disk; the page cache is warm for both.
curl_seconds=$(curl -s -o "$work/out/curl.bin" -w '%{time_total}' "$url")
cmp -s "$work/root/part.bin" "$work/out/curl.bin" || { echo "curl's copy differs" >&2; exit 1; }
rm -f "$work/out/curl.bin"

target="Z:$(echo "$work/out/thread.bin" | tr '/' '\\')"
line=$(wine "$exe" "$url" "$target" | tr -d '\r')
echo "download thread: $line"
thread_seconds=$(echo "$line" | awk '{ for (i = 1; i < NF; i++) if ($i == "seconds") print $(i + 1) }')
cmp -s "$work/root/part.bin" "$work/out/thread.bin" || { echo "the thread's copy differs" >&2; exit 1; }

printf 'size: %d MB\ncurl (native): %.3f s\ndownload thread (Wine): %.3f s\nratio thread/curl: %.2f\n' \
  "$size_mb" "$curl_seconds" "$thread_seconds" "$(echo "$thread_seconds / $curl_seconds" | bc -l)"
