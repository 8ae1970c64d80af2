# Shared helpers of the end-to-end tests of the real program under Wine and
# Xvfb; sourced by the test scripts after they set bin (the folder of
# Quorvel.exe and the test helpers) and case (the case's name).
# Needs WINEPREFIX (with the components registered), DISPLAY and a running
# wine server, as scripts/test.sh provides.
# Creates the case's work folder, makes it the current directory and removes
# it, with the program if still running, when the script ends.

WINE=${WINE:-/usr/lib/wine/wine64}
title='  Quorvel v3.1 [ May 18 2008 ]'
title_pattern='^  Quorvel v3\.1 \[ May 18 2008 \]$'

fail() { echo "FAIL [$case]: $*" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/quorvel-e2e-$case.XXXXXX")
cleanup() {
  [ -n "${pid:-}" ] && kill "$pid" 2>/dev/null
  [ -n "${restore_registry:-}" ] && (cd "$bin" && "$WINE" cmd /c register.cmd </dev/null >/dev/null 2>&1)
  rm -rf "$work"
}
trap cleanup EXIT
cd "$work" || exit 1

start_program() {
  # The pointer waits off the window: resting on a control it would open that
  # control's help balloon over the window.
  xdotool mousemove 0 0 2>/dev/null
  "$WINE" "$bin/Quorvel.exe" </dev/null >"$work/wine.log" 2>&1 &
  pid=$!
}

# Waits up to 20 s for the program to end; sets code to its exit code as the
# shell sees it, or to "timeout".
wait_exit() {
  code=timeout
  for _ in $(seq 1 200); do
    if ! kill -0 "$pid" 2>/dev/null; then
      wait "$pid"; code=$?; pid=
      return 0
    fi
    sleep 0.1
  done
}

# find_window <name pattern> [seconds]: the X window id, empty if none came.
find_window() { timeout "${2:-30}" xdotool search --sync --name "$1" 2>/dev/null | head -1; }

press() {  # press <window> <key>: focus first, or the key is lost
  xdotool windowfocus --sync "$1" && xdotool key "$2"
}

# wait_until <seconds> <command...>: runs the command every 0.2 s until it
# succeeds (status 0) or the time is up (status 1).
wait_until() {
  local deadline=$((SECONDS + $1))
  shift
  while :; do
    "$@" && return 0
    [ "$SECONDS" -ge "$deadline" ] && return 1
    sleep 0.2
  done
}
