#!/usr/bin/env bash
# Runs every test under Wine on both builds, the shipped 32-bit one first: a fresh Wine prefix
# per build, a persistent wineserver, an X display for the window tests, then CTest.
# Fails when a build that was tested fails. Extra arguments go to ctest (e.g. -R Archive).
#   ARCHS=x64 scripts/test.sh    only one of the builds
# On a machine that cannot run 32-bit programs the i686 build is not tested (it is still built):
# one line says so, and the exit status is that of the x64 run alone.
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
. "$root/scripts/lib/wine.sh"

archs=()
for arch in ${ARCHS:-i686 x64}; do
  if [ "$arch" = i686 ] && ! wine_runs_32bit; then
    echo "i686 tests not run: this machine cannot run 32-bit programs (the i686 build is built, not tested)"
    continue
  fi
  archs+=("$arch")
done
[ ${#archs[@]} -gt 0 ] || { echo "No build can be tested on this machine." >&2; exit 2; }

trap 'wine_stop; xvfb_stop' EXIT
xvfb_start own

status=0
for arch in "${archs[@]}"; do
  [ -f "$build/$arch/CTestTestfile.cmake" ] || { echo "Build first: scripts/setup.sh" >&2; exit 2; }
  echo "== $arch"
  wine_env "$build/$arch/wineprefix" "$arch"
  wine_start fresh
  # What the programs keep in the user's Documents (logs, settings files) stays in this run.
  wine_own_folders
  wine_register_standins "$build/$arch" "$arch" || status=1
  ctest --test-dir "$build/$arch" --output-on-failure --timeout 600 -j "$(nproc)" "$@" || status=1
  wine_stop
done
exit $status
