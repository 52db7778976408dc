#!/usr/bin/env bash
# Starts the console (Larkmoor.exe) under Wine on a sample library, in a Wine prefix of its
# own (build/<arch>/console-prefix) that keeps the library between runs. The first start
# makes the sample library there (scripts/make-sample-library.sh).
# When no X display is set, the console gets an X display of its own (Xvfb), and a picture
# of that screen is written to build/screenshots/console.png every few seconds while the
# console runs. Ctrl+C ends the console.
#   scripts/run-console.sh                 the shipped 32-bit build
#   ARCH=x64 scripts/run-console.sh        the 64-bit build
#   scripts/run-console.sh --new-library   the prefix and its sample library made anew
# Further arguments go to the console (an order file, by its Unix or Windows path, or a
# zkyopen:// link).
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
arch="${ARCH:-i686}"
export ARCH="$arch"
console="$build/$arch/Brenvale/Larkmoor.exe"
prefix="$build/$arch/console-prefix"
shot="$build/screenshots/console.png"
. "$root/scripts/lib/wine.sh"

if [ "${1:-}" = --new-library ]; then
  shift
  rm -rf "$prefix"
fi

wine_env "$prefix"
wine_start
library="$(readlink -m "$(winepath -u "$(wine cmd /c echo %APPDATA% </dev/null 2>/dev/null | tr -d '\r')")/Vesperlin/Brenvale/MediaDB.dat")"
wine_stop
if [ ! -f "$library" ]; then
  echo "Making the sample library in $prefix ..."
  "$root/scripts/make-sample-library.sh" "$prefix" || { echo "The sample library could not be made." >&2; exit 1; }
fi
if [ ! -f "$console" ]; then
  echo "The console is not built: $console does not exist (build it with scripts/setup.sh)." >&2
  echo "The sample library is ready: $library" >&2
  exit 2
fi

console_pid="" shots_pid=""
stop() {
  [ -n "$shots_pid" ] && kill "$shots_pid" 2>/dev/null
  [ -n "$console_pid" ] && kill "$console_pid" 2>/dev/null
  wine_stop
  xvfb_stop
}
trap stop EXIT
trap 'exit 130' INT TERM

own_display=""
if [ -z "${DISPLAY:-}" ]; then
  xvfb_start || exit 1
  own_display=1
  mkdir -p "$(dirname "$shot")"
  echo "No display is set: the console runs on an X display of its own ($DISPLAY, Xvfb)."
  echo "A picture of it is written to $shot every 5 seconds."
  echo "To watch it live instead, serve that display over VNC (x11vnc -display $DISPLAY, package x11vnc)."
fi
wine_start
# A file named by its Unix path reaches the console by its Windows path.
arguments=()
for argument in "$@"; do
  if [ -e "$argument" ]; then arguments+=("$(winepath -w "$argument")"); else arguments+=("$argument"); fi
done
echo "Starting the console on the library $library (Ctrl+C ends it)."
wine "$console" "${arguments[@]}" </dev/null &
console_pid=$!
if [ -n "$own_display" ]; then
  (
    while sleep 5; do
      ffmpeg -nostdin -v error -y -f x11grab -video_size 1280x1024 -i "$DISPLAY" -frames:v 1 "$shot.tmp.png" \
        && mv "$shot.tmp.png" "$shot"
    done
  ) &
  shots_pid=$!
fi
wait "$console_pid"
status=$?
console_pid=""
exit $status
