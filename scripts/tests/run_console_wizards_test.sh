#!/usr/bin/env bash
# scripts/run-console.sh as a user runs it, on its sample library, from a build tree whose
# program folder is the real one: the console starts from there, and Transfer and Burn on the
# library's first title start the device wizard and the CD wizard beside it (console_driver.exe
# selects the title, gives the commands, waits for each wizard's Welcome page and cancels it).
#   run_console_wizards_test.sh ARCH BUILD_TREE CONSOLE_DRIVER_EXE
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
arch="$1" tree="$2" driver="$3"
. "$root/scripts/lib/wine.sh"
scratch="$(mktemp -d)"
script_pid=""
finish() {
  if [ -n "$script_pid" ]; then
    kill "$script_pid" 2>/dev/null
    wait "$script_pid" 2>/dev/null
  fi
  xvfb_stop
  rm -rf "$scratch"
}
trap finish EXIT
fail() { echo "FAILED: $*" >&2; [ -f "$scratch/run-console.log" ] && cat "$scratch/run-console.log" >&2; exit 1; }

[ -f "$tree/program/Larkmoor.exe" ] || fail "no program folder in $tree"
# The script's build tree: the real program folder, the sample library tool and the stand-ins.
mkdir -p "$scratch/$arch/Brenvale/tools"
ln -s "$tree/program" "$scratch/$arch/program"
ln -s "$tree/Brenvale/tools/MakeSampleLibrary.exe" "$scratch/$arch/Brenvale/tools/MakeSampleLibrary.exe"
ln -s "$tree/platform" "$scratch/$arch/platform"
# One display for the console and the driver.
xvfb_start || fail "no X display"

BUILD_DIR="$scratch" ARCH="$arch" "$root/scripts/run-console.sh" >"$scratch/run-console.log" 2>&1 </dev/null &
script_pid=$!
for _ in $(seq 1 600); do
  grep -q "Starting the console" "$scratch/run-console.log" 2>/dev/null && break
  kill -0 "$script_pid" 2>/dev/null || fail "run-console.sh ended before the console started"
  sleep 0.5
done
grep -q "Starting the console" "$scratch/run-console.log" || fail "the console was not started"

wine_env "$scratch/$arch/console-prefix" "$arch"
output="$(wine "$driver" </dev/null 2>&1)"
status=$?
echo "$output"
[ $status -eq 0 ] || fail "Transfer and Burn from the console did not both start their wizard"
# One of the sample library's titles (the audiobook, the album, the video), named in bold.
titles="<b>(The Lighthouse Keeper's Almanac|Harbour Lights|Tides in Motion)"
grep -Eq "Vesperlin Carrowind - Welcome: .*$titles" <<<"$output" || fail "the device wizard did not name the title"
grep -Eq "Vesperlin Emberquay - Welcome: .*$titles" <<<"$output" || fail "the CD wizard did not name the title"
echo "run-console.sh: Transfer and Burn start the wizards from the program folder"
