# shellcheck shell=bash
# Helpers for running the Windows builds under Wine; source this file.
# Everything lives inside the build folder: the Wine prefix is the project's
# own, never the user's.

# The system's Wine runs 64-bit programs only.
QV_SYSTEM_WINE=/usr/lib/wine/wine64
QV_SYSTEM_WINESERVER=/usr/lib/wine/wineserver
WINE=$QV_SYSTEM_WINE
WINESERVER=$QV_SYSTEM_WINESERVER

# qv_wine_env <build dir> [<wine folder>]: the prefix of the build and the Wine
# that runs it: the system's, or the one installed in <wine folder> (its
# bin/wine and bin/wineserver; the WoW64 Wine of scripts/setup-wow64.sh runs
# the 32-bit build). Each prefix belongs to one Wine.
qv_wine_env() {
  if [ -n "${2:-}" ]; then
    WINE=$2/bin/wine
    WINESERVER=$2/bin/wineserver
  else
    WINE=$QV_SYSTEM_WINE
    WINESERVER=$QV_SYSTEM_WINESERVER
  fi
  export WINEPREFIX="$1/wineprefix"
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  export WINE WINESERVER
}

# qv_start_xvfb: starts a private X server and points DISPLAY at it. Xvfb
# picks a free display itself and reports it when it is ready (-displayfd), so
# runs started side by side never share a server.
qv_start_xvfb() {
  local numberFile
  numberFile=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1600x1200x24 -nolisten tcp 3>"$numberFile" >/dev/null 2>&1 &
  QV_XVFB_PID=$!
  for _ in $(seq 1 100); do
    if [ -s "$numberFile" ]; then
      DISPLAY=":$(tr -d '[:space:]' <"$numberFile")"
      export DISPLAY
      rm -f "$numberFile"
      return 0
    fi
    kill -0 "$QV_XVFB_PID" 2>/dev/null || break
    sleep 0.1
  done
  rm -f "$numberFile"
  echo "Xvfb did not start" >&2
  return 1
}

# qv_wine_start: keeps one wine server running for the prefix, creates the
# prefix on first use and primes it, all outside of any test runner: Wine's
# helper processes inherit the pipes of the first Wine process. Start the
# display first, so that Wine's desktop process finds it.
qv_wine_start() {
  # A server left from an earlier command would end on its own timeout.
  "$WINESERVER" -k 2>/dev/null || true
  "$WINESERVER" -w 2>/dev/null || true
  mkdir -p "$WINEPREFIX"
  "$WINESERVER" -p
  if [ ! -f "$WINEPREFIX/.quorvel-ready" ]; then
    "$WINE" wineboot -i </dev/null >/dev/null 2>&1 || true
    # Without a window manager Wine must draw window captions itself
    # (Managed=N), or every closing window costs seconds.
    "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
      </dev/null >/dev/null 2>&1
    touch "$WINEPREFIX/.quorvel-ready"
  fi
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
