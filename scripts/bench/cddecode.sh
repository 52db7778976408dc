#!/usr/bin/env bash
# What the CD wizard's decoding costs, side by side with ffmpeg and with Wine's reader alone, in
# the same run, taking turns.
#
# 1. One part to one CD-audio WAV file (44,100 Hz 16-bit stereo): a `minutes`-long Windows Media
#    part decoded through the system's reader under Wine (cddecode_bench.exe), against
#    `ffmpeg -i part.wma -ar 44100 -ac 2 out.wav`, and the reader alone (the same decoding, nothing
#    converted, nothing written: the floor under the first figure). Two parts: 44.1 kHz stereo
#    (written as the reader gives it) and 22.05 kHz mono (converted on the way).
# 2. The whole road: a title of 3 parts of `road` minutes each, a marker every 5 minutes, burned
#    by the burn engine onto the virtual recorder (burnroad_bench.exe: every part decoded and
#    split at its markers into track files, every track written to the disc, the session
#    closed), against ffmpeg decoding each part into sox, which splits it at the same times
#    (`ffmpeg ... -f wav - | sox -t wav - track.wav trim 0 300 : newfile : restart`), and the
#    reader alone over the three parts, one after the other in one process as the engine reads
#    them. "split" is the engine's time until every track file is
#    written, "burn" until the disc is closed (the recorder's copies of the tracks included).
#
# Prints each one's times, the medians and the ratios.
#   [ARCH=x64] [TMPDIR=/dev/shm] scripts/bench/cddecode.sh [minutes] [rounds] [road]
# The files written take room: about 10 MB a minute of audio, twice over; TMPDIR on a memory
# file system keeps the disc's write-back out of the figures.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
minutes="${1:-60}"
rounds="${2:-3}"
road="${3:-20}"
. "$root/scripts/bench/lib/wma-bench.sh"
wma_bench_setup cddecode_bench vesperlin-cddecode-bench "$minutes"
road_exe=$(find "$build" -name burnroad_bench.exe -print -quit)
[ -n "$road_exe" ] || { echo "no burnroad_bench.exe in $build; run scripts/setup.sh" >&2; exit 2; }
win() { echo "Z:$(echo "$1" | tr '/' '\\')"; }
export WINEDEBUG=-all

for part in stereo44 mono22; do
  wma="$work/$part.wma"
  : >"$work/ffmpeg.times"
  : >"$work/ours.times"
  : >"$work/inside.times"
  : >"$work/alone.times"
  for round in $(seq "$rounds"); do
    start=$(now)
    ffmpeg -nostdin -v error -y -i "$wma" -ar 44100 -ac 2 "$work/ffmpeg.wav"
    echo "$(now) - $start" | bc -l >>"$work/ffmpeg.times"
    [ "$round" = 1 ] && ffmpeg_bytes=$(stat -c %s "$work/ffmpeg.wav")
    rm -f "$work/ffmpeg.wav"
    start=$(now)
    line=$(wine "$exe" "$(win "$wma")" "$(win "$work/ours.wav")" | tr -d '\r')
    echo "$(now) - $start" | bc -l >>"$work/ours.times"
    rm -f "$work/ours.wav"
    echo "$line" | awk '{ print $2 }' >>"$work/inside.times"
    wine "$exe" "$(win "$wma")" - | tr -d '\r' | awk '{ print $2 }' >>"$work/alone.times"
    [ "$round" = 1 ] && echo "$part: $line; ffmpeg's WAV $ffmpeg_bytes bytes"
  done
  f=$(median <"$work/ffmpeg.times")
  o=$(median <"$work/ours.times")
  i=$(median <"$work/inside.times")
  a=$(median <"$work/alone.times")
  printf '%s, %d min, %d rounds (medians)\n  ffmpeg (native):            %8.3f s   [%s]\n  reader to CD WAV (Wine):    %8.3f s   [%s]\n    of which decoding inside: %8.3f s\n  the reader alone, no file:  %8.3f s   [%s]\n  ratio ours/reader alone:    %8.2f\n  ratio ours/ffmpeg:          %8.2f\n' \
    "$part" "$minutes" "$rounds" "$f" "$(tr '\n' ' ' <"$work/ffmpeg.times")" "$o" "$(tr '\n' ' ' <"$work/ours.times")" "$i" \
    "$a" "$(tr '\n' ' ' <"$work/alone.times")" "$(echo "$i / $a" | bc -l)" "$(echo "$o / $f" | bc -l)"
done

# The whole road.
road_seconds=$((road * 60))
printf ';FFMETADATA1\n' >"$work/chapters.txt"
for ((t = 0; t < road_seconds; t += 300)); do
  end=$((t + 300 < road_seconds ? t + 300 : road_seconds))
  printf '[CHAPTER]\nTIMEBASE=1/1000\nSTART=%d\nEND=%d\ntitle=Chapter %d\n' $((t * 1000)) $((end * 1000)) $((t / 300 + 1)) \
    >>"$work/chapters.txt"
done
mkdir -p "$work/road" "$work/temp" "$work/sox"
printf '[Recorders]\nCount=1\nLog=%s\nVirtualDisc=%s\n[Drive1]\nDevice=CdRom0\n' "$(win "$work/calls.log")" \
  "$(win "$work/discs")" >"$work/recorders.ini"
export VESPERLIN_RECORDERS
VESPERLIN_RECORDERS="$(win "$work/recorders.ini")"
for shape in stereo44 mono22; do
  case "$shape" in
    stereo44) source="sine=frequency=440:sample_rate=44100:duration=$road_seconds[a];anoisesrc=duration=$road_seconds:amplitude=0.2:sample_rate=44100[b];[a][b]amerge=inputs=2"
              codec="-c:a wmav2 -b:a 128k" ;;
    mono22) source="sine=frequency=300:sample_rate=22050:duration=$road_seconds"; codec="-c:a wmav2 -b:a 32k" ;;
  esac
  ffmpeg -nostdin -v error -y -filter_complex "$source" -i "$work/chapters.txt" -map_chapters 0 $codec "$work/road/$shape-Part01.wma"
  cp "$work/road/$shape-Part01.wma" "$work/road/$shape-Part02.wma"
  cp "$work/road/$shape-Part01.wma" "$work/road/$shape-Part03.wma"
  parts=("$work/road/$shape-Part01.wma" "$work/road/$shape-Part02.wma" "$work/road/$shape-Part03.wma")
  winparts=()
  for p in "${parts[@]}"; do winparts+=("$(win "$p")"); done
  : >"$work/split.times"; : >"$work/burn.times"; : >"$work/native.times"; : >"$work/alone.times"
  for round in $(seq "$rounds"); do
    start=$(now)
    for p in "${parts[@]}"; do
      ffmpeg -nostdin -v error -y -i "$p" -ar 44100 -ac 2 -f wav - |
        sox -V1 -t wav - "$work/sox/$(basename "$p" .wma).wav" trim 0 300 : newfile : restart
    done
    echo "$(now) - $start" | bc -l >>"$work/native.times"
    native_tracks=$(ls "$work/sox" | wc -l)
    rm -f "$work/sox/"*
    rm -rf "$work/discs"
    line=$(wine "$road_exe" "$(win "$work/temp")" "$road_seconds" "${winparts[@]}" | tr -d '\r')
    echo "$line" | awk '{ print $4 }' >>"$work/split.times"
    echo "$line" | awk '{ print $6 }' >>"$work/burn.times"
    [ -z "$(ls -A "$work/temp")" ] || { echo "track files left behind" >&2; exit 1; }
    disc_tracks=$(ls "$work/discs/Drive1/Disc1" | wc -l)
    rm -rf "$work/discs"
    wine "$exe" "${winparts[0]}" - "${winparts[@]:1}" | tr -d '\r' | awk '{ print $2 }' >>"$work/alone.times"
    [ "$round" = 1 ] && echo "road $shape: $line; on the disc $disc_tracks tracks, from sox $native_tracks"
  done
  s=$(median <"$work/split.times"); b=$(median <"$work/burn.times"); n=$(median <"$work/native.times")
  a=$(median <"$work/alone.times")
  printf 'road %s, 3 x %d min, %d rounds (medians)\n  ffmpeg + sox split (native): %8.3f s   [%s]\n  burn engine, split (Wine):   %8.3f s   [%s]\n  burn engine, whole burn:     %8.3f s   [%s]\n  the reader alone, 3 parts:   %8.3f s   [%s]\n  ratio split/reader alone:    %8.2f\n  ratio split/native:          %8.2f\n  ratio burn/native:           %8.2f\n' \
    "$shape" "$road" "$rounds" "$n" "$(tr '\n' ' ' <"$work/native.times")" "$s" "$(tr '\n' ' ' <"$work/split.times")" \
    "$b" "$(tr '\n' ' ' <"$work/burn.times")" "$a" "$(tr '\n' ' ' <"$work/alone.times")" "$(echo "$s / $a" | bc -l)" \
    "$(echo "$s / $n" | bc -l)" "$(echo "$b / $n" | bc -l)"
  rm -f "$work/road/"*
done
