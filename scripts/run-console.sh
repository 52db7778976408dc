#!/usr/bin/env bash
# Starts the console (Larkmoor.exe) under Wine on a sample library, in a Wine prefix of its
# own (build/<arch>/console-prefix) that keeps the library between runs. The console runs from
# the build's program folder (build/<arch>/program), the suite as it is installed: the wizards
# beside it, and the suite's COM servers registered from there. The first start
# makes the sample library there (scripts/make-sample-library.sh).
# When no X display is set, the console gets an X display of its own (Xvfb), and a picture
# of that screen is written to build/screenshots/console.png every few seconds while the
# console runs. Ctrl+C ends the console.
#   scripts/run-console.sh                 the shipped 32-bit build
#   ARCH=x64 scripts/run-console.sh        the 64-bit build
#   scripts/run-console.sh --new-library   the prefix and its sample library made anew
#   scripts/run-console.sh --download      also serves a sample title from a loopback server
#                                          of its own and hands its order file to the console,
#                                          which asks for the download folder and the parts
#                                          and downloads them (the probe and the service
#                                          checks go to that server too)
# Further arguments go to the console (an order file, by its Unix or Windows path, or a
# zkyopen:// link).
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
. "$root/scripts/lib/wine.sh"
arch="$(wine_arch)"
export ARCH="$arch"
program="$build/$arch/program"
console="$program/Larkmoor.exe"
prefix="$build/$arch/console-prefix"
shot="$build/screenshots/console.png"
. "$root/scripts/lib/http_server.sh"

download=""
while [ $# -gt 0 ]; do
  case "$1" in
    --new-library) rm -rf "$prefix"; shift ;;
    --download) download=1; shift ;;
    *) break ;;
  esac
done

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

console_pid="" shots_pid="" server_pid=""
stop() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null
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
# The detect object the console reads the installed versions from is a stand-in of ours here.
wine_register_standins "$build/$arch" "$arch" || true
# The Zune device server and the chapter server the device wizard uses, from the program folder.
wine_register_suite "$program" "$arch" || true
# A file named by its Unix path reaches the console by its Windows path.
arguments=()
for argument in "$@"; do
  if [ -e "$argument" ]; then arguments+=("$(winepath -w "$argument")"); else arguments+=("$argument"); fi
done
if [ -n "$download" ]; then
  # The sample audiobook as the service would deliver it, from a server on loopback; a new
  # id, so that it comes as a new title beside the library's own copy.
  service="$build/$arch/sample-service"
  if [ ! -f "$service/lighthouse-almanac.vpm" ]; then
    echo "Making the sample titles the server offers ..."
    python3 "$root/Brenvale/samples/make_sample_titles.py" "$service" >/dev/null || { echo "The sample titles could not be made." >&2; exit 1; }
  fi
  http_server_start "$service" --root "$service" --lifetime 86400
  address="http://127.0.0.1:$port"
  sed -e "s#http://media.vesperlin.example/titles/lighthouse-almanac#$address/root#" \
      -e "s#http://media.vesperlin.example/pictures/#$address/root/#g" \
      -e "s#{6A0F3C21-5B7E-4D19-9A42-0C1D2E3F4A01}#{6A0F3C21-5B7E-4D19-9A42-0C1D2E3F4A99}#" \
      -e "s#<Title>\([^<]*\)</Title>#<Title>\1 (downloaded)</Title>#" \
      "$service/lighthouse-almanac.vpm" >"$service/download.vpm"
  wine reg add 'HKCU\Software\Vesperlin, Inc.\Vesperlin Brenvale\Settings' /v ServiceAddress /t REG_SZ /d "$address" /f \
    >/dev/null 2>&1
  arguments+=("$(winepath -w "$service/download.vpm")")
  echo "The sample title is served at $address/root; its order file goes to the console."
else
  wine reg delete 'HKCU\Software\Vesperlin, Inc.\Vesperlin Brenvale\Settings' /v ServiceAddress /f >/dev/null 2>&1
fi
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
