#!/usr/bin/env bash
# The project's run command: installs what is missing, builds the 64-bit
# Windows program with its simulated board, registers the components in the
# project's own Wine prefix and starts Quorvel in the working folder run/
# (where Quorvel.cfg and Quorvel.sav live).
# With a display it opens the real window there and returns when it closes.
# Without one it runs on a private Xvfb display, starts acquisition, leaves a
# screenshot of the running bench and prints its path.
# Usage: scripts/run.sh [--win32]
#   --win32  the 32-bit program instead, under the WoW64 Wine of
#            scripts/setup-wow64.sh, in run/win32/ (screenshot
#            run/win32/quorvel.png)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

build=win64
wine_folder=
workdir=$top/run
case "${1:-}" in
  "") ;;
  --win32) build=win32 workdir=$top/run/win32 ;;
  *) echo "usage: $0 [--win32]" >&2; exit 2 ;;
esac

scripts/setup.sh
if [ "$build" = win32 ]; then
  status=0
  wine_folder=$(scripts/setup-wow64.sh) || status=$?
  case "$status" in
    0) ;;
    3) echo "No WoW64 Wine for the 32-bit program: scripts/setup-wow64.sh --build makes one (35-45 minutes)." >&2; exit 1 ;;
    4) echo "This machine does not run 32-bit code, so the 32-bit program cannot run here." >&2; exit 1 ;;
    *) exit 1 ;;
  esac
fi
scripts/build.sh "$build"

# shellcheck source-path=SCRIPTDIR source=wine.sh
. scripts/wine.sh
qv_wine_env "$top/build/$build" "$wine_folder"
trap qv_stop EXIT
headless=0
if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
  headless=1
  qv_start_xvfb
fi
qv_wine_start
qv_register "$top/build/$build/bin"

mkdir -p "$workdir"
cd "$workdir"
# The first run opens in the dB spectrum view with a 7-term window, 4K points
# per channel and four averages, so the bench shows its measurements at once;
# later runs keep what the user chose (Quorvel.sav is written at close).
if [ ! -f Quorvel.sav ]; then
  printf 'SizeIndex   = 2\r\nDisplayMode = 3\r\nAutoScale   = 0\r\nFFTAvg      = 3\r\nFFTWnd      = 12\r\n' > Quorvel.sav
fi
exe="$top/build/$build/bin/Quorvel.exe"

if [ "$headless" = 0 ]; then
  "$WINE" "$exe" || echo "Quorvel ended with exit code $?"
  exit 0
fi

"$WINE" "$exe" </dev/null >/dev/null 2>&1 &
pid=$!
wid=$(timeout 30 xdotool search --sync --name '^  Quorvel' | head -1) || true
if [ -z "$wid" ]; then
  echo "The Quorvel window did not appear." >&2
  import -window root "$workdir/quorvel-failed.png" 2>/dev/null && \
    echo "Screenshot of the screen: $workdir/quorvel-failed.png" >&2
  exit 1
fi
xdotool windowfocus --sync "$wid"
xdotool key F2          # start acquisition
sleep 3
import -window root "$workdir/quorvel.png"
echo "Screenshot of the bench: $workdir/quorvel.png"
xdotool windowfocus --sync "$wid"
xdotool key F2 Escape   # stop, close
wait "$pid" || true
