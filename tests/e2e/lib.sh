# shellcheck shell=bash
# Shared helpers of the end-to-end tests of the real program under Wine and
# Xvfb; sourced by the test scripts after they set bin (the folder of
# Quorvel.exe and the test helpers) and case (the case's name).
# Needs WINEPREFIX (with the components registered), DISPLAY and a running
# wine server, as scripts/test.sh provides.
# Creates the case's work folder, makes it the current directory and removes
# it, with the program if still running, when the script ends.

WINE=${WINE:-/usr/lib/wine/wine64}
# The registry view where register.cmd enters the components, and where the
# program looks for them: /reg:32 in the 32-bit build, /reg:64 in the 64-bit one.
# shellcheck disable=SC2034,SC2154  # bin is the sourcing script's, which uses reg_view
reg_view=$(grep -o '/reg:[0-9]*' "$bin/register.cmd" 2>/dev/null | head -1)
# shellcheck disable=SC2034  # used by the sourcing scripts
title='  Quorvel v3.1 [ May 18 2008 ]'
title_pattern='^  Quorvel v3\.1 \[ May 18 2008 \]$'

# shellcheck disable=SC2154  # case comes from the sourcing script
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
# A search gives up early when a window it looks at is destroyed meanwhile
# (an X error), so it is repeated until the time is up.
find_window() {
  local deadline=$((SECONDS + ${2:-30})) found
  while :; do
    found=$(timeout $((deadline > SECONDS ? deadline - SECONDS : 1)) \
      xdotool search --sync --name "$1" 2>/dev/null | head -1)
    [ -n "$found" ] && { echo "$found"; return 0; }
    [ "$SECONDS" -ge "$deadline" ] && return 0
    sleep 0.2
  done
}

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

# Control ids of the main dialog.
# shellcheck disable=SC2034  # used by the sourcing scripts
START=1002 FILE=1003 RECORD=1004 MAIN_PLOT=1005 TOP_PLOT=1006 SIZE=1009 VIEW=1010 AVG=1011 WINDOW=1012
# shellcheck disable=SC2034  # used by the sourcing scripts
AUTO_SCALE=1013 INFO=1014

# The dialog's controls read through dialog_probe.exe. Each call is bounded:
# a program that hangs or crashed (with Wine's crash dialog up) would hold it
# for good.
probe() { timeout 20 "$WINE" "$bin/dialog_probe.exe" "$@" </dev/null 2>/dev/null; }

# One line per control, joined with "; ": "1002 enabled checked; ...".
states() { probe state "$@" | paste -sd ';' | sed 's/;/; /g'; }

# expect_states <what> <want> <id>...: waits up to 10 s for the states.
expect_states() {
  local what=$1 want=$2
  shift 2
  # shellcheck disable=SC2317  # called through wait_until
  states_are() { got=$(states "$@"); [ "$got" = "$want" ]; }
  wait_until 10 states_are "$@" || fail "$what: got '$got', want '$want'"
}

# start_bench: starts the program in the current folder and waits for the
# main window (wid) and its filled controls.
start_bench() {
  start_program
  wid=$(find_window "$title_pattern") || true
  [ -n "$wid" ] || fail "the main window did not appear (wine log: $(tail -3 "$work/wine.log"))"
  # shellcheck disable=SC2317  # called through wait_until
  has_sizes() { [ -n "$(probe combo "$SIZE")" ]; }
  wait_until 10 has_sizes || fail "the dialog's controls were not filled"
}

# exit_bench: Escape closes the program, which ends with code 0.
exit_bench() {
  press "$wid" Escape
  wait_exit
  [ "$code" = 0 ] || fail "exit code after Escape: got $code, want 0"
}
