#!/usr/bin/env bash
# The Wine set-up of the scripts on machines that do and do not run 32-bit programs: the check
# itself (asked of the 32-bit loader, or forced through VESPERLIN_WINE32), the loader every Wine
# start of a build gets, and scripts/test.sh's choice of builds and exit status. Wine itself is
# replaced by fake loaders that log their calls (VESPERLIN_WINE_DIR), CTest by a fake on PATH.
#   wine_setup_test.sh
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() { echo "FAILED: $*" >&2; failures=$((failures + 1)); }

# Nothing of the run this test may itself be part of leaks in.
unset VESPERLIN_WINE32 VESPERLIN_WINE_LOADER VESPERLIN_WINE_DIR WINELOADER WINEPREFIX ARCH ARCHS BUILD_DIR

fakes="$scratch/wine" log="$scratch/calls.log"
mkdir -p "$fakes" "$scratch/path"
# The 32-bit loader fails to start as the kernel refuses it, unless FAKE_WINE32=runs.
cat >"$fakes/wine" <<'EOF'
#!/bin/sh
[ "${FAKE_WINE32:-}" = runs ] || { echo "wine: Exec format error" >&2; exit 126; }
echo "wine32 ${WINEPREFIX:-} $*" >>"$FAKE_LOG"
EOF
cat >"$fakes/wine64" <<'EOF'
#!/bin/sh
echo "wine64 ${WINEPREFIX:-} $*" >>"$FAKE_LOG"
EOF
printf '#!/bin/sh\nexit 0\n' >"$fakes/wineserver"
# CTest answers with the status asked for the build it is given.
cat >"$scratch/path/ctest" <<'EOF'
#!/bin/sh
arch=$(basename "$2")
echo "ctest $arch" >>"$FAKE_LOG"
eval "exit \${FAKE_CTEST_$arch:-0}"
EOF
chmod +x "$fakes"/* "$scratch/path/ctest"
. "$root/scripts/lib/wine.sh"
for arch in i686 x64; do
  mkdir -p "$scratch/build/$arch"
  touch "$scratch/build/$arch/CTestTestfile.cmake"
  for dll in "${wine_standin_dlls[@]}"; do mkdir -p "$(dirname "$scratch/build/$arch/$dll")"; touch "$scratch/build/$arch/$dll"; done
done
export VESPERLIN_WINE_DIR="$fakes" FAKE_LOG="$log"

# The check, asked and forced.
#   forced  32-bit loader  answer
while read -r forced loader expected; do
  [ "$forced" = - ] && forced=""
  answer=$(FAKE_WINE32="$loader" VESPERLIN_WINE32="$forced" bash -c \
    '. "$1/scripts/lib/wine.sh"; wine_runs_32bit && echo yes || echo no' _ "$root")
  [ "$answer" = "$expected" ] || fail "check (forced '$forced', loader $loader): $answer, expected $expected"
done <<'TABLE'
-    runs    yes
-    refused no
no   runs    no
yes  refused yes
TABLE

# The build a one-build script runs, and the loader each build's Wine starts get.
#   forced  asked  build  loader
while read -r forced asked expected loader; do
  got=$(FAKE_WINE32=runs VESPERLIN_WINE32="$forced" ARCH="$asked" bash -c \
    '. "$1/scripts/lib/wine.sh"; a=$(wine_arch 2>/dev/null); wine_env /nowhere "$a"; echo "$a $(basename "$VESPERLIN_WINE_LOADER")"' _ "$root")
  [ "$got" = "$expected $loader" ] || fail "build for $asked (forced $forced): '$got', expected '$expected $loader'"
done <<'TABLE'
yes  i686  i686  wine
yes  x64   x64   wine64
no   i686  x64   wine64
no   x64   x64   wine64
TABLE
notice=$(VESPERLIN_WINE32=no bash -c '. "$1/scripts/lib/wine.sh"; wine_arch i686 2>&1 >/dev/null' _ "$root")
[ -n "$notice" ] || fail "no notice when the x64 build runs instead of i686"

# scripts/test.sh: which builds it tests, on which loader, and its exit status.
#   32-bit loader  forced  ctest i686  ctest x64  builds tested  status  notice
while read -r loader forced i686_status x64_status tested expected_status notice_expected; do
  [ "$forced" = - ] && forced=""
  rm -f "$log"
  output=$(PATH="$scratch/path:$PATH" BUILD_DIR="$scratch/build" FAKE_WINE32="$loader" VESPERLIN_WINE32="$forced" \
    FAKE_CTEST_i686="$i686_status" FAKE_CTEST_x64="$x64_status" "$root/scripts/test.sh" 2>&1)
  status=$?
  case_name="test.sh (loader $loader, forced '$forced', ctest $i686_status/$x64_status)"
  runs=$(grep '^ctest ' "$log" 2>/dev/null | cut -d' ' -f2 | paste -sd, -)
  [ "$runs" = "$tested" ] || fail "$case_name tested '$runs', expected '$tested'"
  [ "$status" -eq "$expected_status" ] || fail "$case_name exit status $status, expected $expected_status"
  if [ "$notice_expected" = yes ]; then
    [ "$(grep -c 'i686 tests not run' <<<"$output")" -eq 1 ] || fail "$case_name: no one-line notice that i686 was not tested"
  else
    grep -q 'i686 tests not run' <<<"$output" && fail "$case_name: a notice though i686 was tested"
  fi
  # Every Wine start of a build's run went through that build's loader: x64 always on wine64.
  grep -q "^wine32 $scratch/build/x64/" "$log" 2>/dev/null && fail "$case_name: the x64 run started the 32-bit loader"
  if [[ "$tested" == *i686* ]]; then
    grep -q "^wine32 $scratch/build/i686/" "$log" || fail "$case_name: the i686 run did not use the 32-bit loader"
  fi
  grep -q "^wine64 $scratch/build/x64/" "$log" || fail "$case_name: the x64 run did not use the 64-bit loader"
done <<'TABLE'
refused -    0 0 x64      0 yes
refused -    1 0 x64      0 yes
refused -    0 1 x64      1 yes
runs    -    0 0 i686,x64 0 no
runs    -    1 0 i686,x64 1 no
runs    -    0 1 i686,x64 1 no
runs    no   1 0 x64      0 yes
TABLE

[ "$failures" -eq 0 ] || exit 1
echo "wine set-up: all cases passed"
