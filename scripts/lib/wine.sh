# Sourced by the scripts that run our modules under Wine: one way to set Wine up.
#   wine_env PREFIX     the environment every run uses (own prefix, quiet, no Mono/Gecko prompt,
#                       no proxy for WinINet to pick up)
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
#                       (the detect object, the portable-devices server) from a build tree
#                       (ARCH i686 or x64) in the prefix

wine_env() {
  export WINEPREFIX="$1"
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  export WINEARCH=win64
  unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY ftp_proxy all_proxy ALL_PROXY no_proxy NO_PROXY
}

wine_start() {
  [ "${1:-}" = fresh ] && rm -rf "$WINEPREFIX"
  local made=""
  [ -d "$WINEPREFIX" ] || { wineboot -i >/dev/null 2>&1 </dev/null || true; made=1; }
  wineserver -p >/dev/null 2>&1 </dev/null || true
  if [ -n "$made" ]; then
    # Windows not handed to an X window manager: there is none on the test display, and Wine
    # waits two seconds for one whenever a managed window is hidden.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 </dev/null || true
  else
    wine cmd /c exit >/dev/null 2>&1 </dev/null || true
  fi
}

wine_register_standins() {
  local dll regsvr32='C:\windows\system32\regsvr32.exe' status=0
  [ "$2" = i686 ] && regsvr32='C:\windows\syswow64\regsvr32.exe'
  for dll in "$1/platform/detectobject/ZKYDetect.dll" "$1/platform/portabledevices/portabledevices_standin.dll"; do
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
  wineserver -k >/dev/null 2>&1 || true
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
