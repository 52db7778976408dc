#!/usr/bin/env bash
# Runs every test under Wine: a fresh Wine prefix, a persistent wineserver, an X display
# for the window tests, then CTest. Extra arguments go to ctest (e.g. -R Archive).
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
[ -f "$build/CTestTestfile.cmake" ] || { echo "Build first: scripts/setup.sh" >&2; exit 2; }

export WINEPREFIX="$build/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY ftp_proxy all_proxy ALL_PROXY no_proxy NO_PROXY

xvfb_pid=""
started_server=""
cleanup() {
  [ -n "$started_server" ] && wineserver -k >/dev/null 2>&1
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" >/dev/null 2>&1
  return 0
}
trap cleanup EXIT

# An X display of our own for window tests.
for n in $(seq 90 140); do
  [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  sleep 0.5
  if kill -0 "$xvfb_pid" 2>/dev/null; then export DISPLAY=":$n"; break; fi
  xvfb_pid=""
done
[ -n "$xvfb_pid" ] || echo "warning: no X display; window tests will fail" >&2

# A fresh prefix per run, a persistent server, and one throw-away process with its stdio
# on /dev/null so Wine's services never hold CTest's pipes open.
rm -rf "$WINEPREFIX"
wineboot -i >/dev/null 2>&1 </dev/null
wineserver -p >/dev/null 2>&1 </dev/null
started_server=1
wine cmd /c exit >/dev/null 2>&1 </dev/null

ctest --test-dir "$build" --output-on-failure --timeout 600 -j "$(nproc)" "$@"
