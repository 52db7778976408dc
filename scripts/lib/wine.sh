# Sourced by the scripts that run our modules under Wine: one way to set Wine up.
#   wine_runs_32bit     whether this machine runs 32-bit programs (0: yes); asked once, then
#                       kept in VESPERLIN_WINE32 ("yes" or "no"), which also forces the answer
#   wine_arch [ARCH]    the build a script that runs one build should use: ARCH (default $ARCH,
#                       else i686), or x64 with a one-line notice where i686 cannot run here
#   wine_env PREFIX [ARCH]
#                       the environment every run uses (own prefix, quiet, no Mono/Gecko prompt,
#                       no proxy for WinINet to pick up) and the Wine loader for ARCH (default
#                       $ARCH, else i686): the 64-bit modules always run on the 64-bit loader
#   wine_start [fresh]  makes the prefix (anew with "fresh"), starts a persistent wineserver and
#                       one throw-away process with its stdio on /dev/null, so Wine's services
#                       never hold a caller's pipes open
#   wine_stop           ends the wineserver of the prefix
#   wine_own_folders    makes the user's Documents, Music, ... real folders of the prefix, where
#                       Wine links them to the home folder, so what programs keep there stays
#                       in the prefix
#   xvfb_start          an X display of our own when none is set (or always with "own")
#   wine_register_standins BUILD ARCH
#                       registers the stand-ins for objects the suite finds installed elsewhere
#                       (the detect object, the portable-devices server, the device manager,
#                       the mobile-device link) from a build tree
#                       (ARCH i686 or x64) in the prefix
#   wine_register_suite PROGRAMFOLDER ARCH
#                       registers the suite's own COM servers (the Zune device server and the
#                       chapter server) from a build's program folder (build/<arch>/program)
#
# Every Wine start goes through the loader wine_env picks: this folder's bin/ comes first on
# PATH, so "wine", "wine64" and "wine-stable" (which wineboot, winepath and the other tools
# call) all reach bin/wine, which starts $VESPERLIN_WINE_LOADER. Debian's own "wine" prefers
# the 32-bit loader whenever it is installed, even for 64-bit modules, and that loader cannot
# start where the kernel runs no 32-bit programs.
#   VESPERLIN_WINE_DIR  where the loaders and wineserver are (default /usr/lib/wine)

wine_lib_dir="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
wine_dir="${VESPERLIN_WINE_DIR:-/usr/lib/wine}"
case ":$PATH:" in *":$wine_lib_dir/bin:"*) ;; *) export PATH="$wine_lib_dir/bin:$PATH" ;; esac
export VESPERLIN_WINE_DIR="$wine_dir"

wine_runs_32bit() {
  case "${VESPERLIN_WINE32:-}" in
    yes) return 0 ;;
    no) return 1 ;;
  esac
  # The 32-bit loader prints its version where the kernel runs it; elsewhere exec fails.
  if [ -x "$wine_dir/wine" ] && "$wine_dir/wine" --version >/dev/null 2>&1 </dev/null; then
    export VESPERLIN_WINE32=yes
    return 0
  fi
  export VESPERLIN_WINE32=no
  return 1
}

wine_arch() {
  local arch="${1:-${ARCH:-i686}}"
  if [ "$arch" = i686 ] && ! wine_runs_32bit; then
    echo "note: this machine cannot run 32-bit programs; the x64 build runs instead of i686" >&2
    arch=x64
  fi
  echo "$arch"
}

wine_env() {
  export WINEPREFIX="$1"
  local arch="${2:-${ARCH:-i686}}"
  if [ "$arch" = x64 ] || ! wine_runs_32bit; then
    export VESPERLIN_WINE_LOADER="$wine_dir/wine64"
  else
    export VESPERLIN_WINE_LOADER="$wine_dir/wine"
  fi
  # The loader starts processes of the other half through this name (with or without "64").
  export WINELOADER="$VESPERLIN_WINE_LOADER"
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  export WINEARCH=win64
  unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY ftp_proxy all_proxy ALL_PROXY no_proxy NO_PROXY
}

wine_start() {
  [ "${1:-}" = fresh ] && rm -rf "$WINEPREFIX"
  local made=""
  if [ ! -d "$WINEPREFIX" ]; then
    wineboot -i >/dev/null 2>&1 </dev/null || true
    # Making a prefix restarts its services near the end, and the server that made it lingers
    # with them: a local server registered before that settles is lost to the COM service
    # started anew, and its first client waits a minute or more. So the prefix is left to
    # settle (its server to end) before the persistent server starts.
    "$wine_dir/wineserver" -w >/dev/null 2>&1 </dev/null || true
    made=1
  fi
  "$wine_dir/wineserver" -p >/dev/null 2>&1 </dev/null || true
  if [ -n "$made" ]; then
    # Windows not handed to an X window manager: there is none on the test display, and Wine
    # waits two seconds for one whenever a managed window is hidden.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 </dev/null || true
    wine_fonts
  else
    wine cmd /c exit >/dev/null 2>&1 </dev/null || true
    # A prefix made before the fonts were put in.
    [ -f "$WINEPREFIX/drive_c/windows/Fonts/marlett.ttf" ] || wine_fonts
  fi
}

# Wine's own fonts (Debian's fonts-wine) in the prefix's font folder, where Wine finds them: the
# caption buttons are drawn from Marlett, and without it they show as letters. And text in
# scripts the interface fonts lack (Japanese, Chinese, Korean titles) is drawn from a font that
# has them, where Debian's package of it is installed, instead of as boxes.
wine_fonts() {
  local face
  cp -n /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
  [ -f /usr/share/fonts/truetype/wqy/wqy-microhei.ttc ] || return 0
  for face in "Tahoma" "MS Shell Dlg" "MS Shell Dlg 2" "Microsoft Sans Serif" "MS Sans Serif" "Segoe UI" "Arial"; do
    wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' /v "$face" \
      /t REG_MULTI_SZ /d "wqy-microhei.ttc,WenQuanYi Micro Hei" /f >/dev/null 2>&1 </dev/null || true
  done
}

# The stand-ins' DLLs, relative to a build tree.
wine_standin_dlls=(platform/detectobject/ZKYDetect.dll platform/portabledevices/portabledevices_standin.dll
  platform/wmdm/standin/wmdm_standin.dll platform/rapi/standin/rapi_standin.dll)

wine_register_standins() {
  wine_register_dlls "$2" "${wine_standin_dlls[@]/#/$1/}"
}

# The suite's own COM servers, as installed: registered from the program folder of a build.
wine_suite_servers=(Corvatine.dll Tessaline.dll)

wine_register_suite() {
  wine_register_dlls "$2" "${wine_suite_servers[@]/#/$1/}"
}

# regsvr32 of ARCH (i686 or x64) on each DLL; 1 when one is missing or refused.
wine_register_dlls() {
  local dll regsvr32='C:\windows\system32\regsvr32.exe' status=0
  [ "$1" = i686 ] && regsvr32='C:\windows\syswow64\regsvr32.exe'
  shift
  for dll in "$@"; do
    if [ ! -f "$dll" ]; then
      echo "warning: $dll not built" >&2
      status=1
    elif ! wine "$regsvr32" /s "$(winepath -w "$dll" 2>/dev/null)" >/dev/null 2>&1 </dev/null; then
      echo "warning: $dll could not be registered" >&2
      status=1
    fi
  done
  return $status
}

wine_stop() {
  "$wine_dir/wineserver" -k >/dev/null 2>&1 || true
}

wine_own_folders() {
  local folder
  for folder in "$WINEPREFIX"/drive_c/users/*/*; do
    [ -L "$folder" ] || continue
    rm -f "$folder" && mkdir -p "$folder"
  done
}

xvfb_pid=""
xvfb_start() {
  [ -n "${DISPLAY:-}" ] && [ "${1:-}" != own ] && return 0
  local n
  for n in $(seq 90 160); do
    { [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; } && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    sleep 0.5
    if kill -0 "$xvfb_pid" 2>/dev/null; then export DISPLAY=":$n"; return 0; fi
    xvfb_pid=""
  done
  echo "warning: no X display; window tests will fail" >&2
  return 1
}

xvfb_stop() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" >/dev/null 2>&1
  xvfb_pid=""
  return 0
}
