#!/usr/bin/env bash
# Header-reading benchmark: makes a Windows Media and an MP3 part file with ffmpeg and mutagen
# (tags, two chapters, a stored marker list), then times reading 1,000 copies of them.
#   scripts/bench/wmmetadata.sh
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
"$root/scripts/bench/run.sh" wmmetadata_bench "Z:${work//\//\\}"
