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
minutes="${1:-60}"
rounds="${2:-3}"
. "$root/scripts/bench/lib/wma-bench.sh"
wma_bench_setup convert_bench vesperlin-convert-bench "$minutes"
reader=$(find "$build" -name cddecode_bench.exe -print -quit)

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
