# Helpers for running the Windows build under Wine; source this file.
# Everything lives inside the build folder: the Wine prefix is the project's
# own, never the user's.

WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver

# qv_wine_env <build dir>
qv_wine_env() {
  export WINEPREFIX="$1/wineprefix"
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  export WINE WINESERVER
}

# Creates the prefix once. Without a window manager Wine must draw window
# captions itself (Managed=N), or every closing window costs seconds.
qv_wine_prefix() {
  if [ ! -f "$WINEPREFIX/.quorvel-ready" ]; then
    mkdir -p "$WINEPREFIX"
    "$WINE" wineboot -i </dev/null >/dev/null 2>&1 || true
    "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
      </dev/null >/dev/null 2>&1
    touch "$WINEPREFIX/.quorvel-ready"
  fi
}

# qv_start_xvfb: starts a private X server and points DISPLAY at it.
qv_start_xvfb() {
  local n
  for n in $(seq 90 140); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] || break
  done
  Xvfb ":$n" -screen 0 1600x1200x24 -nolisten tcp >/dev/null 2>&1 &
  QV_XVFB_PID=$!
  export DISPLAY=":$n"
  for _ in $(seq 1 100); do
    xdpyinfo -display "$DISPLAY" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  echo "Xvfb did not start on $DISPLAY" >&2
  return 1
}

# Keeps one wine server running and primes it outside of any test runner:
# Wine's helper processes inherit the pipes of the first Wine process.
qv_start_wineserver() {
  "$WINESERVER" -p
  "$WINE" cmd /c exit </dev/null >/dev/null 2>&1 || true
}

# qv_register <bin dir>: registers the components built into <bin dir>.
qv_register() {
  (cd "$1" && "$WINE" cmd /c register.cmd </dev/null >/dev/null) || { echo "registering the components failed" >&2; return 1; }
}

qv_stop() {
  "$WINESERVER" -k 2>/dev/null || true
  if [ -n "${QV_XVFB_PID:-}" ]; then
    kill "$QV_XVFB_PID" 2>/dev/null || true
    wait "$QV_XVFB_PID" 2>/dev/null || true
    QV_XVFB_PID=
  fi
}
