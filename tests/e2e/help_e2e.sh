#!/usr/bin/env bash
# End-to-end tests of the balloon help of the running program under Wine and
# Xvfb: the pointer resting on a control opens its help balloon beside the
# pointer, the balloon goes away after its time or when the main window
# moves, and a control without help opens none.
# Usage: help_e2e.sh <bin dir> <case>
# Needs what lib.sh names; reads the windows through dialog_probe.exe from
# <bin dir>.
set -uo pipefail
bin=$1
case=$2
# shellcheck source-path=SCRIPTDIR source=lib.sh
. "$(dirname "$0")/lib.sh"

start_help='Запустить или остановить сбор и отображение данных,команда доступна с помощью клавиши F2.'

# The balloons on the screen, one a line: "left top right bottom text".
balloons() { probe windows-of-class WindowsHelperClass; }
has_balloon() { shown=$(balloons); [ -n "$shown" ]; }
no_balloon() { shown=$(balloons); [ -z "$shown" ]; }

# start_bench <post delay>: the program with a 500 ms pre delay (a tick every
# 50 ms, the balloon after 12 ticks); the pointer waits off its window until
# a test puts it somewhere.
start_bench() {
  printf 'Device = "QX420A"\r\nUtility = "KestoUtility"\r\nBase = 1\r\nHelpPreDelay = 500\r\nHelpPostDelay = %d\r\n' \
    "$1" > Quorvel.cfg
  start_program
  wid=$(find_window "$title_pattern") || true
  [ -n "$wid" ] || fail "the main window did not appear (wine log: $(tail -3 "$work/wine.log"))"
  has_rect() { [ -n "$(probe rect $START)" ]; }
  wait_until 10 has_rect || fail "the main window cannot be read"
}

# point_at <control id>: rests the pointer on the middle of the control; sets
# px and py.
point_at() {
  local left top right bottom
  read -r left top right bottom <<<"$(probe rect "$1")"
  [ -n "${bottom:-}" ] || fail "no rectangle for control $1"
  px=$(((left + right) / 2)) py=$(((top + bottom) / 2))
  xdotool mousemove "$px" "$py"
}

# expect_start_balloon: waits up to 10 s for the Start button's balloon and
# checks its text and that it opens above and right of the pointer, its tail
# (the bottom left corner) at the pointer.
expect_start_balloon() {
  wait_until 10 has_balloon || fail "no balloon appeared over the Start button"
  [ "$(wc -l <<<"$shown")" = 1 ] || fail "more than one balloon: $shown"
  local left top right bottom text
  read -r left top right bottom text <<<"$shown"
  [ "$text" = "$start_help" ] || fail "balloon text: got '$text', want '$start_help'"
  { [ $((left - px)) -ge -2 ] && [ $((left - px)) -le 2 ] && [ $((bottom - py)) -ge -2 ] && [ $((bottom - py)) -le 2 ]; } ||
    fail "balloon at $left,$top..$right,$bottom, pointer at $px,$py: its bottom left corner should be at the pointer"
  { [ "$right" -gt "$left" ] && [ "$bottom" -gt "$top" ]; } || fail "empty balloon: $shown"
}

exit_bench() {
  press "$wid" Escape
  wait_exit
  [ "$code" = 0 ] || fail "exit code after Escape: got $code, want 0"
}

case "$case" in
shows-and-fades)
  # 12 words: one post delay of 500 ms, then the fade of 1.6 s.
  start_bench 500
  point_at $START
  expect_start_balloon
  wait_until 20 no_balloon || fail "the balloon did not go away after its time: $shown"
  exit_bench ;;

move-closes)
  # A minute's post delay: only the moving window takes the balloon away.
  start_bench 60000
  point_at $START
  expect_start_balloon
  read -r before _ <<<"$(probe rect $START)"
  # The window moves right of the pointer, which is then over no control.
  main_top=$(xwininfo -id "$wid" | awk '/Absolute upper-left Y/ {print $NF}')
  probe move-main $((px + 50)) "$main_top" || fail "the main window could not be moved"
  moved() { read -r now _ <<<"$(probe rect $START)"; [ "$now" != "$before" ]; }
  wait_until 10 moved || fail "the main window did not move"
  wait_until 10 no_balloon || fail "moving the main window left the balloon: $shown"
  exit_bench ;;

no-help-on-plot)
  start_bench 60000
  point_at $TOP_PLOT
  # Six times as long as a balloon takes to open.
  sleep 3
  no_balloon || fail "the top plot has no help, but a balloon opened: $shown"
  # Help was on all the time: the Start button opens its balloon.
  point_at $START
  expect_start_balloon
  exit_bench ;;

keeps-focus)
  # The balloon opens without taking the keyboard: the main window stays
  # active and the focus stays on the control that had it (moved off the
  # first control with Tab, so that it is not where the program starts it).
  start_bench 60000
  focus() { timeout 20 "$WINE" "$bin/keyboard_focus.exe" </dev/null 2>/dev/null | paste -sd '|'; }
  press "$wid" Tab
  press "$wid" Tab
  before=$(focus)
  { [ "${before%%|*}" = "$title" ] && [ "${before#*|}" != none ]; } || fail "before the balloon: focus '$before'"
  point_at $START
  expect_start_balloon
  sleep 0.5
  after=$(focus)
  [ "$after" = "$before" ] || fail "after the balloon opened: focus '$after', want '$before'"
  exit_bench ;;

*) fail "unknown case" ;;
esac
