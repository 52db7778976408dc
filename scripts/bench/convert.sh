#!/usr/bin/env bash
# Converts a 60-minute Windows Media part to a WAV file through the device wizard's conversion
# thread under Wine (convert_bench.exe), and in the same run decodes the same part with
# `ffmpeg -i part.wma out.wav`, taking turns; prints each one's times, the medians and their
# ratio, what the thread itself took (without Wine's start), and what the system's reader alone
# takes for the same part (cddecode_bench without a file; for the mono part that also converts
# to CD audio), the floor under the first figure.
# Two parts: 44.1 kHz stereo and 22.05 kHz mono.
#   [ARCH=x64] scripts/bench/convert.sh [minutes] [rounds]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
build="${BUILD_DIR:-$root/build}/${ARCH:-i686}"
. "$root/scripts/lib/wine.sh"
. "$root/scripts/bench/wmaparts.sh"
minutes="${1:-60}"
rounds="${2:-3}"
exe=$(find "$build" -name convert_bench.exe -print -quit)
[ -n "$exe" ] || { echo "no convert_bench.exe in $build; run scripts/setup.sh" >&2; exit 2; }
reader=$(find "$build" -name cddecode_bench.exe -print -quit)

work=$(mktemp -d "${TMPDIR:-/tmp}/vesperlin-convert-bench.XXXXXX")
trap 'wine_stop; rm -rf "$work"' EXIT
seconds=$((minutes * 60))

make_wma_parts "$work" "$seconds"

wine_env "${WINEPREFIX:-$build/bench-prefix}"
wine_start

now() { date +%s.%N; }
median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

mkdir -p "$work/ours"
folder="Z:$(echo "$work/ours" | tr '/' '\\')"
for part in stereo44 mono22; do
  wma="$work/$part.wma"
  source="Z:$(echo "$wma" | tr '/' '\\')"
  : >"$work/ffmpeg.times"
  : >"$work/ours.times"
  : >"$work/inside.times"
  : >"$work/alone.times"
  for round in $(seq "$rounds"); do
    start=$(now)
    ffmpeg -nostdin -v error -y -i "$wma" "$work/ffmpeg.wav"
    echo "$(now) - $start" | bc -l >>"$work/ffmpeg.times"
    rm -f "$work/ours"/*.wav
    start=$(now)
    line=$(wine "$exe" "$source" "$folder" "$seconds" | tr -d '\r')
    echo "$(now) - $start" | bc -l >>"$work/ours.times"
    echo "$line" | awk '{ print $2 }' >>"$work/inside.times"
    [ -z "$reader" ] || wine "$reader" "$source" - | tr -d '\r' | awk '{ print $2 }' >>"$work/alone.times"
    [ "$round" = 1 ] && echo "$part: $line; ffmpeg's WAV $(stat -c %s "$work/ffmpeg.wav") bytes"
  done
  rm -f "$work/ours"/*.wav
  f=$(median <"$work/ffmpeg.times")
  o=$(median <"$work/ours.times")
  i=$(median <"$work/inside.times")
  a=$( [ -s "$work/alone.times" ] && median <"$work/alone.times" || echo 0)
  printf '%s, %d min, %d rounds (medians)\n  ffmpeg (native):              %8.3f s   [%s]\n  conversion thread (Wine):     %8.3f s   [%s]\n    of which the thread itself: %8.3f s\n  the reader alone, no file:    %8.3f s\n  ratio conversion/ffmpeg:      %8.2f\n' \
    "$part" "$minutes" "$rounds" "$f" "$(tr '\n' ' ' <"$work/ffmpeg.times")" "$o" "$(tr '\n' ' ' <"$work/ours.times")" \
    "$i" "$a" "$(echo "$o / $f" | bc -l)"
done
