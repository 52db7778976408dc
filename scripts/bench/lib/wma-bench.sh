# What the benchmarks over Windows Media parts share: their program found in the build, a work
# folder removed at the end with the two parts made in it, a running prefix, and the timing.
#   . "$root/scripts/bench/lib/wma-bench.sh"; wma_bench_setup convert_bench vesperlin-convert-bench "$minutes"
# sets build, exe (the program), work (the folder) and seconds, and defines now and median.
wma_bench_setup() {
  local name="$1" folder="$2" minutes="$3"
  build="${BUILD_DIR:-$root/build}/${ARCH:-i686}"
  . "$root/scripts/lib/wine.sh"
  . "$root/scripts/bench/wmaparts.sh"
  exe=$(find "$build" -name "$name.exe" -print -quit)
  [ -n "$exe" ] || { echo "no $name.exe in $build; run scripts/setup.sh" >&2; exit 2; }
  work=$(mktemp -d "${TMPDIR:-/tmp}/$folder.XXXXXX")
  trap 'wine_stop; rm -rf "$work"' EXIT
  seconds=$((minutes * 60))
  make_wma_parts "$work" "$seconds"
  wine_env "${WINEPREFIX:-$build/bench-prefix}"
  wine_start
}

now() { date +%s.%N; }
median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
