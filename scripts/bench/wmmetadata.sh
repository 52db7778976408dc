#!/usr/bin/env bash
# Header-reading benchmark: makes Windows Media and MP3 part files with ffmpeg and mutagen
# (tags, two chapters, a stored marker list), then times reading 1,000 copies of them with
# the callers' pattern of opens, beside mutagen reading the same files in the same run and
# beside bare opens and reads, and prints the ratios.
#   scripts/bench/wmmetadata.sh
#   READS_ONLY=1 scripts/bench/wmmetadata.sh   the reads alone (no 5 GiB file: for a disk short of room)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cat >"$work/meta.txt" <<'META'
;FFMETADATA1
title=Bench Part
artist=Ada Quill
album=Night Crossing
[CHAPTER]
TIMEBASE=1/1000
START=0
END=30000
title=Opening
[CHAPTER]
TIMEBASE=1/1000
START=30000
END=60000
title=Second chapter
META
ffmpeg -nostdin -v error -y -f lavfi -i sine=frequency=440:duration=60 -i "$work/meta.txt" -map 0 \
  -map_metadata 1 -map_chapters 1 -c:a wmav2 -b:a 64k "$work/seed.wma"
ffmpeg -nostdin -v error -y -f lavfi -i sine=frequency=440:duration=60 -i "$work/meta.txt" -map 0 \
  -map_metadata 1 -c:a libmp3lame -q:a 5 "$work/seed.mp3"
/usr/bin/python3 - "$work/seed.mp3" <<'PY'
import sys
from mutagen.id3 import ID3, TXXX
tag = ID3(sys.argv[1])
tag.add(TXXX(encoding=1, desc='Vesperlin MediaMarkers',
             text=['<Markers><Marker><Name>Opening</Name><Time>00:00.000</Time></Marker>'
                   '<Marker><Name>Second chapter</Name><Time>00:30.000</Time></Marker></Markers>']))
tag.save()
PY
# One minute of tone and noise in turns, variable bit rate without a frame count, repeated to
# ten hours; its exact length is 600 times the minute's, as ffprobe counts its frames.
ffmpeg -nostdin -v error -y -f lavfi -i sine=frequency=440 -f lavfi -i anoisesrc=amplitude=0.5 -filter_complex \
  "[0]atrim=0:5[a];[1]atrim=0:5[b];[a][b]concat=n=2:v=0:a=1,aloop=loop=-1:size=441000,atrim=0:60" \
  -c:a libmp3lame -q:a 4 -write_xing 0 -id3v2_version 0 "$work/minute.mp3"
for i in $(seq 600); do cat "$work/minute.mp3"; done >"$work/long.mp3"
frames=$(ffprobe -v error -count_frames -select_streams a:0 -show_entries stream=nb_read_frames -of csv=p=0 "$work/minute.mp3")
echo "10-hour MP3: $(du -m "$work/long.mp3" | cut -f1) MiB, exact duration by ffprobe's frame count: $((frames * 600 * 1152 / 44100)) s"
# The 1,000 files both readers read, a quarter of each kind: the Windows Media part, the MP3
# part (variable bit rate, with its Xing header), a one-minute constant bit rate MP3 without
# any header (its length is worked out from the frames) and a free-format MP3 (below).
ffmpeg -nostdin -v error -y -f lavfi -i sine=frequency=440:duration=60 -i "$work/meta.txt" -map 0 \
  -map_metadata 1 -c:a libmp3lame -b:a 64k -write_xing 0 "$work/cbr.mp3"
# And a free-format MP3 as lame makes it (its frames give no bit rate), tagged, with lame's
# Info frame.
ffmpeg -nostdin -v error -y -f lavfi -i sine=frequency=440:duration=60 -ac 2 "$work/minute.wav"
lame --quiet --freeformat -b 128 --add-id3v2 --tt "Bench Part" --ta "Ada Quill" --tl "Night Crossing" \
  "$work/minute.wav" "$work/free.mp3"
mkdir "$work/parts"
for i in $(seq -w 0 999); do
  case $((10#$i % 4)) in
    0) cp "$work/seed.wma" "$work/parts/part-$i.wma" ;;
    1) cp "$work/seed.mp3" "$work/parts/part-$i.mp3" ;;
    2) cp "$work/cbr.mp3" "$work/parts/part-$i.mp3" ;;
    3) cp "$work/free.mp3" "$work/parts/part-$i.mp3" ;;
  esac
done
# mutagen on the same files, as a program reads them: one open a file for its tags (the
# marker text, album and artist) and its length and bit rate.
/usr/bin/python3 - "$work/parts" >"$work/mutagen.txt" <<'PY'
import os, sys, time
import mutagen
folder = sys.argv[1]
paths = sorted(os.path.join(folder, n) for n in os.listdir(folder))
for p in paths:
    open(p, 'rb').read()
start = time.perf_counter()
seconds = 0.0
refused = 0
for p in paths:
    # mutagen finds no frame in most free-format files (its refusal is timed too).
    try:
        f = mutagen.File(p)
        seconds += f.info.length
        t = f.tags
        _ = f.info.bitrate, os.path.getsize(p), t and (t.getall('TXXX') if hasattr(t, 'getall') else t.get('WM/Text'))
    except Exception:
        refused += 1
ms = (time.perf_counter() - start) * 1000 / len(paths)
print('mutagen, one open a file: %d files (%d refused), %.1f h of audio: %.3f ms per file' %
      (len(paths), refused, seconds / 3600, ms))
print('figure mutagen %.4f' % ms)
PY
"$root/scripts/bench/run.sh" wmmetadata_bench "Z:${work//\//\\}" ${READS_ONLY:+--reads-only} | tee "$work/ours.txt"
grep -v '^figure' "$work/mutagen.txt"
cat "$work/mutagen.txt" "$work/ours.txt" | /usr/bin/python3 -c '
import sys
f = {}
for line in sys.stdin:
    if line.startswith("figure "):
        name, value = line.split()[1:3]
        f[name] = float(value)
print("ratio ours / mutagen (6 opens a file against one): %.2f" % (f["ours"] / f["mutagen"]))
print("ratio ours / bare 6 opens and reads: %.2f" % (f["ours"] / f["bare6"]))
print("ratio mutagen / bare single open and read: %.2f" % (f["mutagen"] / f["bare1"]))
'
