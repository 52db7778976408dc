#!/usr/bin/env bash
# Decodes a 60-minute Windows Media part to a CD-audio WAV file (44,100 Hz 16-bit stereo) through
# the system's reader under Wine (cddecode_bench.exe), and in the same run with
# `ffmpeg -i part.wma -ar 44100 -ac 2 out.wav`, taking turns; prints each one's times, the
# medians and their ratio, and what the reader alone takes (the same decoding, no file
# written), the floor under the first figure. Two parts: 44.1 kHz stereo (written as the reader
# gives it) and 22.05 kHz mono (converted on the way).
#   [ARCH=x64] scripts/bench/cddecode.sh [minutes] [rounds]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
minutes="${1:-60}"
rounds="${2:-3}"
. "$root/scripts/bench/lib/wma-bench.sh"
wma_bench_setup cddecode_bench vesperlin-cddecode-bench "$minutes"

for part in stereo44 mono22; do
  wma="$work/$part.wma"
  target="Z:$(echo "$work/ours.wav" | tr '/' '\\')"
  source="Z:$(echo "$wma" | tr '/' '\\')"
  : >"$work/ffmpeg.times"
  : >"$work/ours.times"
  : >"$work/inside.times"
  : >"$work/alone.times"
  for round in $(seq "$rounds"); do
    start=$(now)
    ffmpeg -nostdin -v error -y -i "$wma" -ar 44100 -ac 2 "$work/ffmpeg.wav"
    echo "$(now) - $start" | bc -l >>"$work/ffmpeg.times"
    start=$(now)
    line=$(wine "$exe" "$source" "$target" | tr -d '\r')
    echo "$(now) - $start" | bc -l >>"$work/ours.times"
    echo "$line" | awk '{ print $2 }' >>"$work/inside.times"
    wine "$exe" "$source" - | tr -d '\r' | awk '{ print $2 }' >>"$work/alone.times"
    [ "$round" = 1 ] && echo "$part: $line; ffmpeg's WAV $(stat -c %s "$work/ffmpeg.wav") bytes"
  done
  f=$(median <"$work/ffmpeg.times")
  o=$(median <"$work/ours.times")
  i=$(median <"$work/inside.times")
  a=$(median <"$work/alone.times")
  printf '%s, %d min, %d rounds (medians)\n  ffmpeg (native):            %8.3f s   [%s]\n  reader to CD WAV (Wine):    %8.3f s   [%s]\n    of which decoding inside: %8.3f s\n  the reader alone, no file:  %8.3f s\n  ratio reader/ffmpeg:        %8.2f\n' \
    "$part" "$minutes" "$rounds" "$f" "$(tr '\n' ' ' <"$work/ffmpeg.times")" "$o" "$(tr '\n' ' ' <"$work/ours.times")" "$i" \
    "$a" "$(echo "$o / $f" | bc -l)"
done
