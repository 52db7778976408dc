#!/usr/bin/env bash
# Makes GalleryClip.avi, the gallery's animation: four frames of ffmpeg's test pattern,
# uncompressed with a palette. ffmpeg stores the rows top-down (a negative height), which the
# animation control does not draw; the frames are flipped and the height made positive.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"
ffmpeg -loglevel error -y -f lavfi -i testsrc=size=32x32:rate=4 -frames:v 4 -vf vflip \
  -c:v rawvideo -pix_fmt pal8 -an GalleryClip.avi
python3 - <<'PY'
import struct
data = bytearray(open("GalleryClip.avi", "rb").read())
format_chunk = data.find(b"strf") + 8
height_at = format_chunk + 8
(height,) = struct.unpack_from("<i", data, height_at)
struct.pack_into("<i", data, height_at, abs(height))
open("GalleryClip.avi", "wb").write(data)
PY
