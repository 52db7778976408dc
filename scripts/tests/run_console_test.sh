#!/usr/bin/env bash
# scripts/run-console.sh in a build tree of its own that holds only the sample library tool:
# the first start sets up the console's prefix, makes the sample library in it (inside the
# prefix, nothing in the home folder), and says that the console is not built.
#   run_console_test.sh ARCH MAKESAMPLELIBRARY_EXE
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
arch="$1" tool="$2"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/$arch/Brenvale/tools"
ln -s "$tool" "$scratch/$arch/Brenvale/tools/MakeSampleLibrary.exe"
fail() { echo "FAILED: $*" >&2; exit 1; }

home_media_before="$(ls -d "$HOME/My Media" 2>/dev/null)"
output="$(BUILD_DIR="$scratch" ARCH="$arch" "$root/scripts/run-console.sh" 2>&1)"
status=$?
echo "$output"
[ $status -eq 2 ] || fail "exit status $status, expected 2 (console not built)"
grep -q "The console is not built" <<<"$output" || fail "no word that the console is not built"

prefix="$scratch/$arch/console-prefix"
user_folder="$(ls -d "$prefix"/drive_c/users/*/AppData/Roaming/Vesperlin/Brenvale 2>/dev/null | head -1)"
[ -n "$user_folder" ] && [ -s "$user_folder/MediaDB.dat" ] || fail "no MediaDB.dat in the prefix"
documents="$(dirname "$(dirname "$(dirname "$(dirname "$user_folder")")")")/Documents"
[ -d "$documents" ] && [ ! -L "$documents" ] || fail "Documents is not a folder of the prefix"
parts="$(find "$documents/My Media" -name '*-Part0[0-9].*' | wc -l)"
[ "$parts" -eq 8 ] || fail "$parts parts in My Media, expected 8"
[ "$(ls -d "$HOME/My Media" 2>/dev/null)" = "$home_media_before" ] || fail "files were written to the home folder"

# A second start finds the library and does not make it again.
stamp="$(stat -c %Y "$user_folder/MediaDB.dat")"
output="$(BUILD_DIR="$scratch" ARCH="$arch" "$root/scripts/run-console.sh" 2>&1)"
[ $? -eq 2 ] || fail "second start: exit status, expected 2"
grep -q "Making the sample library" <<<"$output" && fail "second start made the library again"
[ "$(stat -c %Y "$user_folder/MediaDB.dat")" = "$stamp" ] || fail "second start changed the library"
echo "run-console.sh: prefix and sample library set up"
