#!/usr/bin/env bash
# Sends a title's parts (3 x 100 MB by default) through the device wizard's transfer thread onto
# the device-manager stand-in and onto a removable drive, and copies the same files plainly, in
# one run (each part a real MP3's start followed by noise); prints the times, their ratios to the copy and the gap between two parts.
#   scripts/bench/transfer.sh [parts] [size-of-a-part-in-MB]
#   ARCH=x64 scripts/bench/transfer.sh    the 64-bit build (default: the shipped i686 one)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
parts="${1:-3}"
size_mb="${2:-100}"
. "$root/scripts/bench/lib/wmdm-prefix.sh"
wmdm_bench_prefix transfer_bench vesperlin-transfer-bench
# The parts begin as a real MP3 does (its tags, an Info frame with the frame count).
ffmpeg -v error -f lavfi -i sine=frequency=440:duration=2 -b:a 128k -id3v2_version 3 \
  -metadata title="Night Crossing" -metadata artist="A. Writer" "$work/seed.mp3"
wine "$exe" "$(winpath "$work")" "$parts" "$size_mb" "$(winpath "$work/seed.mp3")" | tr -d '\r'
