#!/usr/bin/env bash
# Makes the console's sample library in a Wine prefix: three sample titles (an audiobook, a
# music album, a video) with pictures and short real parts made by the host tools
# (Brenvale/samples/make_sample_titles.py), filed by the console's own library code
# (MakeSampleLibrary.exe) into MediaDB.dat of the prefix's user, with the parts in
# "My Media" of that user's documents. A library already there is extended.
#   scripts/make-sample-library.sh PREFIX      (ARCH=x64: the tool of the 64-bit build)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
[ $# -eq 1 ] || { echo "usage: $0 WINEPREFIX" >&2; exit 2; }
. "$root/scripts/lib/wine.sh"
arch="$(wine_arch)"
tool="$build/$arch/Brenvale/tools/MakeSampleLibrary.exe"
[ -f "$tool" ] || { echo "The sample library tool is not built ($tool): run scripts/setup.sh" >&2; exit 2; }

stage="$(mktemp -d)"
trap 'rm -rf "$stage"; wine_stop' EXIT
python3 "$root/Brenvale/samples/make_sample_titles.py" "$stage/service" >/dev/null
wine_env "$1" "$arch"
wine_start
wine_own_folders
wine "$tool" "$(winepath -w "$stage/service")" </dev/null
