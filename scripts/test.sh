#!/usr/bin/env bash
# Runs every test under Wine on both builds, the shipped 32-bit one first: a fresh Wine prefix
# per build, a persistent wineserver, an X display for the window tests, then CTest.
# Fails when either build fails. Extra arguments go to ctest (e.g. -R Archive).
#   ARCHS=x64 scripts/test.sh    only one of the builds
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
. "$root/scripts/lib/wine.sh"

trap 'wine_stop; xvfb_stop' EXIT
xvfb_start own

status=0
for arch in ${ARCHS:-i686 x64}; do
  [ -f "$build/$arch/CTestTestfile.cmake" ] || { echo "Build first: scripts/setup.sh" >&2; exit 2; }
  echo "== $arch"
  wine_env "$build/$arch/wineprefix"
  wine_start fresh
  wine_register_standins "$build/$arch" "$arch" || status=1
  ctest --test-dir "$build/$arch" --output-on-failure --timeout 600 -j "$(nproc)" "$@" || status=1
  wine_stop
done
exit $status
