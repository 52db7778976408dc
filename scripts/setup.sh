#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks (apt packages only) and builds the suite twice:
# the shipped 32-bit modules into build/i686 and the 64-bit ones into build/x64.
# Re-running it is quick: installed packages are skipped and the builds are incremental.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

packages=(
  cmake make g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix mingw-w64-tools
  wine wine64 wine32:i386 xvfb xauth
  fonts-wine fonts-wqy-microhei libasound2-plugins
  googletest python3 openssl curl
  ffmpeg sox lame espeak-ng python3-mutagen fonts-dejavu-core fp-utils
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-ugly gstreamer1.0-libav
  gstreamer1.0-plugins-base:i386 gstreamer1.0-plugins-good:i386 gstreamer1.0-plugins-ugly:i386
  gstreamer1.0-libav:i386
)

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
dpkg --print-foreign-architectures | grep -qx i386 || $sudo dpkg --add-architecture i386
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  if ! $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"; then
    # Where the kernel runs no 32-bit programs, the set-up scripts of some i386 packages cannot
    # run: the 64-bit half is all such a machine tests, so only its packages must be in place.
    . "$root/scripts/lib/wine.sh"
    wine_runs_32bit && exit 1
    echo "note: this machine cannot run 32-bit programs; some i386 packages are not set up" >&2
    for p in "${packages[@]}"; do
      case "$p" in *:i386) continue ;; esac
      dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" \
        || { echo "Package $p could not be installed." >&2; exit 1; }
    done
  fi
fi

build="${BUILD_DIR:-$root/build}"
# In CI a compiler warning in the suite's own code fails the build.
werror=OFF
[ -n "${CI:-}" ] && werror=ON
for arch in i686 x64; do
  toolchain=mingw-w64-i686.cmake shots="$build/screenshots"
  [ "$arch" = x64 ] && toolchain=mingw-w64-x86_64.cmake shots="$build/screenshots/x64"
  cmake -S "$root" -B "$build/$arch" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$toolchain" \
    -DVESPERLIN_SCREENSHOT_DIR="$shots" -DVESPERLIN_WERROR="$werror" >/dev/null
  cmake --build "$build/$arch" --parallel "$(nproc)"
done
