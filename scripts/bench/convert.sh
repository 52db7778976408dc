#!/usr/bin/env bash
# Converts a 60-minute Windows Media part to a WAV file through the device wizard's conversion
# thread under Wine (convert_bench.exe), and in the same run decodes the same part with
# `ffmpeg -i part.wma out.wav`, taking turns; prints each one's times, the medians and their
# ratio. Two parts: 44.1 kHz stereo and 22.05 kHz mono.
#   [ARCH=x64] scripts/bench/convert.sh [minutes] [rounds]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
build="${BUILD_DIR:-$root/build}/${ARCH:-i686}"
. "$root/scripts/lib/wine.sh"
minutes="${1:-60}"
rounds="${2:-3}"
exe=$(find "$build" -name convert_bench.exe -print -quit)
[ -n "$exe" ] || { echo "no convert_bench.exe in $build; run scripts/setup.sh" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/vesperlin-convert-bench.XXXXXX")
trap 'wine_stop; rm -rf "$work"' EXIT
seconds=$((minutes * 60))

# A tone on the left and noise on the right, so that neither channel is silence.
ffmpeg -nostdin -v error -y -filter_complex \
  "sine=frequency=440:sample_rate=44100:duration=$seconds[a];anoisesrc=duration=$seconds:amplitude=0.2:sample_rate=44100[b];[a][b]amerge=inputs=2" \
  -c:a wmav2 -b:a 128k "$work/stereo44.wma"
ffmpeg -nostdin -v error -y -f lavfi -i "sine=frequency=300:sample_rate=22050:duration=$seconds" \
  -c:a wmav2 -b:a 32k "$work/mono22.wma"

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
  for round in $(seq "$rounds"); do
    start=$(now)
    ffmpeg -nostdin -v error -y -i "$wma" "$work/ffmpeg.wav"
    echo "$(now) - $start" | bc -l >>"$work/ffmpeg.times"
    rm -f "$work/ours"/*.wav
    start=$(now)
    line=$(wine "$exe" "$source" "$folder" "$seconds" | tr -d '\r')
    echo "$(now) - $start" | bc -l >>"$work/ours.times"
    [ "$round" = 1 ] && echo "$part: $line; ffmpeg's WAV $(stat -c %s "$work/ffmpeg.wav") bytes"
  done
  rm -f "$work/ours"/*.wav
  f=$(median <"$work/ffmpeg.times")
  o=$(median <"$work/ours.times")
  printf '%s, %d min, %d rounds (medians)\n  ffmpeg (native):              %8.3f s   [%s]\n  conversion thread (Wine):     %8.3f s   [%s]\n  ratio conversion/ffmpeg:      %8.2f\n' \
    "$part" "$minutes" "$rounds" "$f" "$(tr '\n' ' ' <"$work/ffmpeg.times")" "$o" "$(tr '\n' ' ' <"$work/ours.times")" \
    "$(echo "$o / $f" | bc -l)"
done
