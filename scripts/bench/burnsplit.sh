#!/usr/bin/env bash
# Splits titles of growing length (1, 2.5, 5 and 10 hours by default) into the 99 CD-audio WAV
# tracks of a disc as a test-mode burn does (burnsplit_bench.exe under Wine: the engine's track
# list, track files and test writes on the virtual recorder, over a reader that makes up CD
# audio as fast as asked), and in the same run has ffmpeg write the same audio into 99 WAV
# segments (`ffmpeg -f lavfi -i anullsrc -f segment -c:a pcm_s16le`), taking turns. Prints each
# one's medians, seconds per hour of audio and the ratio: the cost should grow linearly with the
# title's length (constant seconds per hour).
#   [ARCH=x64] scripts/bench/burnsplit.sh [rounds] [hours ...]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
build="${BUILD_DIR:-$root/build}/${ARCH:-i686}"
. "$root/scripts/lib/wine.sh"
rounds="${1:-3}"
shift || true
lengths=("$@")
[ ${#lengths[@]} -gt 0 ] || lengths=(1 2.5 5 10)
exe=$(find "$build" -name burnsplit_bench.exe -print -quit)
[ -n "$exe" ] || { echo "no burnsplit_bench.exe in $build; build it first" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/vesperlin-burnsplit-bench.XXXXXX")
trap 'wine_stop; rm -rf "$work"' EXIT
win() { echo "Z:$(echo "$1" | tr '/' '\\')"; }

mkdir -p "$work/tracks" "$work/segments"
ffmpeg -nostdin -v error -y -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=1" -c:a libmp3lame "$work/title.mp3"
printf '[Recorders]\nCount=1\nLog=%s\n[Drive1]\nDevice=CdRom0\n[Drive1.Disc1]\nFreeBytes=40000000000\n' \
  "$(win "$work/calls.log")" >"$work/recorders.ini"
export VESPERLIN_RECORDERS
VESPERLIN_RECORDERS="$(win "$work/recorders.ini")"
export WINEDEBUG=-all

wine_env "${WINEPREFIX:-$build/bench-prefix}"
wine_start

now() { date +%s.%N; }
median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

printf '%-6s %10s %10s %12s %10s %12s %8s\n' hours split_s burn_s burn_s/hour ffmpeg_s ffmpeg_s/hour ratio
for hours in "${lengths[@]}"; do
  seconds=$(echo "$hours * 3600" | bc -l | cut -d. -f1)
  : >"$work/split.times"; : >"$work/burn.times"; : >"$work/ffmpeg.times"
  for round in $(seq "$rounds"); do
    start=$(now)
    ffmpeg -nostdin -v error -y -f lavfi -i "anullsrc=r=44100:cl=stereo" -t "$seconds" -c:a pcm_s16le \
      -f segment -segment_time "$(echo "$seconds / 99 + 0.001" | bc -l)" "$work/segments/%02d.wav"
    echo "$(now) - $start" | bc -l >>"$work/ffmpeg.times"
    rm -f "$work/segments/"*
    line=$(wine "$exe" "$(win "$work/title.mp3")" "$hours" "$(win "$work/tracks")" | tr -d '\r')
    echo "$line" | awk '{ print $4 }' >>"$work/split.times"
    echo "$line" | awk '{ print $6 }' >>"$work/burn.times"
    [ -z "$(ls -A "$work/tracks")" ] || { echo "track files left behind" >&2; exit 1; }
  done
  s=$(median <"$work/split.times"); b=$(median <"$work/burn.times"); f=$(median <"$work/ffmpeg.times")
  printf '%-6s %10.3f %10.3f %12.3f %10.3f %12.3f %8.2f\n' "$hours" "$s" "$b" "$(echo "$b / $hours" | bc -l)" "$f" \
    "$(echo "$f / $hours" | bc -l)" "$(echo "$b / $f" | bc -l)"
done
