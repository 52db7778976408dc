#!/usr/bin/env bash
# Chapter-writing benchmark: 100 chapters written by Tessaline.dll into an M4B of 10 MB and
# one of 1 GB (the same audio with a sparse 1 GB box before its movie header), ten times each;
# prints the fastest and median times. A write touches only the movie header, so the two
# should be equal within noise.
#   scripts/bench/tessaline.sh            (the shipped i686 build; ARCH=x64 for the other)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
. "$root/scripts/lib/wine.sh"
export ARCH="$(wine_arch)"
build="${BUILD_DIR:-$root/build}/$ARCH"
exe=$(find "$build" -name tessaline_bench.exe -print -quit)
dll=$(find "$build" -name Tessaline.dll -print -quit)
[ -n "$exe" ] && [ -n "$dll" ] || { echo "no tessaline_bench.exe in $build; run scripts/setup.sh" >&2; exit 2; }
work="$(mktemp -d)"
trap 'wine_stop; rm -rf "$work"' EXIT

# About 10 MB of AAC: 6 minutes of noise at 256 kbit/s, tagged; the movie header after the media.
ffmpeg -nostdin -v error -y -f lavfi -i anoisesrc=duration=380:color=pink -metadata title="Bench Part" \
  -c:a aac -b:a 256k "$work/ten.m4b"
/usr/bin/python3 "$root/platform/mp4/tests/mp4tool.py" big "$work/ten.m4b" "$work/gigabyte.m4b" 1073741824

wine_env "${WINEPREFIX:-$build/bench-prefix}"
wine_start
winpath() { echo "Z:${1//\//\\}"; }
wine "$exe" "$(winpath "$dll")" "$(winpath "$work/ten.m4b")" "$(winpath "$work/gigabyte.m4b")" | tr -d '\r'
