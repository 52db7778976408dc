# What the benchmarks over the device-manager stand-in share: their program found in the build,
# a work folder removed at the end, and a prefix with the stand-in registered.
#   . "$root/scripts/bench/lib/wmdm-prefix.sh"; wmdm_bench_prefix wmdminsert_bench vesperlin-wmdm-bench
# sets exe (the program) and work (the folder), and defines winpath.
wmdm_bench_prefix() {
  local name="$1" folder="$2"
  build="${BUILD_DIR:-$root/build}/${ARCH:-i686}"
  . "$root/scripts/lib/wine.sh"
  exe=$(find "$build" -name "$name.exe" -print -quit)
  local standin
  standin=$(find "$build" -name wmdm_standin.dll -print -quit)
  [ -n "$exe" ] && [ -n "$standin" ] || { echo "build first: scripts/setup.sh" >&2; exit 2; }
  work=$(mktemp -d "${TMPDIR:-/tmp}/$folder.XXXXXX")
  trap 'wine_stop; rm -rf "$work"' EXIT
  wine_env "${WINEPREFIX:-$build/bench-prefix}"
  wine_start
  local regsvr32='C:\windows\system32\regsvr32.exe'
  [ "${ARCH:-i686}" = i686 ] && regsvr32='C:\windows\syswow64\regsvr32.exe'
  wine "$regsvr32" /s "$(winpath "$standin")" >/dev/null 2>&1 </dev/null
}

winpath() { echo "Z:$(echo "$1" | tr '/' '\\')"; }
