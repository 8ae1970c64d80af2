#!/usr/bin/env bash
# End-to-end start-up and shutdown of the real program under Wine and Xvfb.
# Usage: startup_e2e.sh <bin dir> <case>
# Needs what lib.sh names.
set -uo pipefail
bin=$1
case=$2
# shellcheck source-path=SCRIPTDIR source=lib.sh
. "$(dirname "$0")/lib.sh"

# expect_startup_failure <text>: a message box captioned Quorvel shows the
# text, no main window is created, and the program ends with -2 without
# touching Quorvel.sav.
expect_startup_failure() {
  local want=$1
  printf 'SizeIndex = 7\r\n' > Quorvel.sav
  cp Quorvel.sav saved.before
  start_program
  local box
  box=$(find_window '^Quorvel$') || true
  [ -n "$box" ] || fail "no message box captioned Quorvel"
  [ -z "$(xdotool search --name "$title_pattern" 2>/dev/null)" ] || fail "a main window was created"
  local got
  got=$("$WINE" "$bin/message_box_text.exe" Quorvel </dev/null 2>/dev/null)
  [ "$got" = "$want" ] || fail "message: got '$got', want '$want'"
  press "$box" Return
  wait_exit
  [ "$code" = 254 ] || fail "exit code: got $code, want 254 (-2)"
  cmp -s Quorvel.sav saved.before || fail "Quorvel.sav was changed"
  echo "PASS [$case]"
}

case "$case" in
normal|close-box)
  # A saved state from an earlier run is read at start and written back at
  # close, in the program's own spelling.
  if [ "$case" = normal ]; then
    printf 'fftwnd = 12\r\ndisplaymode = 7 ; out of range\r\n' > Quorvel.sav
    printf 'SizeIndex   = 0\r\nDisplayMode = 3\r\nAutoScale   = 0\r\nFFTAvg      = 0\r\nFFTWnd      = 12\r\n' > saved.want
  else
    printf 'SizeIndex   = 0\r\nDisplayMode = 0\r\nAutoScale   = 0\r\nFFTAvg      = 0\r\nFFTWnd      = 0\r\n' > saved.want
  fi
  start_program
  wid=$(find_window "$title_pattern") || true
  [ -n "$wid" ] || fail "the main window did not appear (wine log: $(tail -3 "$work/wine.log"))"
  sleep 0.5
  eval "$(xdotool getwindowgeometry --shell "$wid")"
  screen=$(xdpyinfo | awk '/dimensions:/ {print $2}')
  sw=${screen%x*}; sh=${screen#*x}
  # Centred: the room left and right, above and below, is shared equally; a
  # window larger than the screen starts at 0. A few pixels of frame drawn by
  # Wine are allowed.
  want_x=$(( WIDTH < sw ? (sw - WIDTH) / 2 : 0 )); want_y=$(( HEIGHT < sh ? (sh - HEIGHT) / 2 : 0 ))
  dx=$(( X - want_x )); dy=$(( Y - want_y ))
  { [ "${dx#-}" -le 16 ] && [ "${dy#-}" -le 24 ]; } ||
    fail "window not centred: ${WIDTH}x${HEIGHT} at $X,$Y on ${sw}x${sh}, want $want_x,$want_y"
  [ -f Quorvel.cfg ] || fail "Quorvel.cfg was not created"
  if [ "$case" = normal ]; then
    press "$wid" Escape
  else
    # The close box at the right end of the caption that Wine draws.
    xdotool mousemove $((X + WIDTH - 12)) $((Y + 10)) click 1
  fi
  wait_exit
  [ "$code" = 0 ] || fail "exit code: got $code, want 0"
  cmp -s Quorvel.sav saved.want || fail "Quorvel.sav: got $(od -c Quorvel.sav | head -5)"
  echo "PASS [$case]"
  ;;
no-driver)        # error A
  printf 'Device = "NoSuchBoard"\r\n' > Quorvel.cfg
  expect_startup_failure $'Ошибка... \n Нет нужной библиотеки - NoSuchBoard.dll.' ;;
no-plot)          # error B
  restore_registry=1
  "$WINE" reg delete 'HKLM\SOFTWARE\Tarnwell\Base library\1.0\PellumE' /f ${reg_view:+"$reg_view"} </dev/null >/dev/null 2>&1
  expect_startup_failure $'Ошибка... \n Нет нужной библиотеки - PellumE.dll.' ;;
base-zero)        # error C
  printf 'Device = QX420A\r\nBase = 0\r\n' > Quorvel.cfg
  expect_startup_failure $'Ошибка... \n Очень плохие параметры в файле Quorvel.cfg!' ;;
open-fails)       # error D
  printf 'FailOpen = 1\r\n' > SimBoard.cfg
  expect_startup_failure $'Ошибка... \n Нет нужного драйвера или не верно заданы параметры платы!' ;;
no-device)        # error E
  printf 'NoDevice = 1\r\n' > SimBoard.cfg
  expect_startup_failure $'Ошибка... \n Нет нужного драйвера!' ;;
not-supported)    # error F
  printf 'FailCapability = 1\r\n' > SimBoard.cfg
  expect_startup_failure $'Ошибка... \n Устройство не поддерживается программой!' ;;
registry-view)
  # register.cmd enters the components in the registry view of its build
  # only: the 32-bit build's under SOFTWARE\WOW6432Node, where a 32-bit
  # program on 64-bit Windows reads. The other view has none of them, so the
  # program that starts with its components read its own view.
  plot_key='SOFTWARE\Tarnwell\Base library\1.0\PellumE'
  case "$reg_view" in
    /reg:32) other_view=/reg:64 own_as_64='SOFTWARE\WOW6432Node\Tarnwell\Base library\1.0\PellumE' ;;
    /reg:64) other_view=/reg:32 own_as_64=$plot_key ;;
    *) fail "register.cmd names no registry view" ;;
  esac
  registered() { "$WINE" reg query "HKLM\\$1" /v path "$2" </dev/null >/dev/null 2>&1; }
  registered "$plot_key" "$reg_view" || fail "no $plot_key in the view $reg_view"
  registered "$own_as_64" /reg:64 || fail "no $own_as_64 in the 64-bit view"
  ! registered "$plot_key" "$other_view" || fail "$plot_key is in the other view ($other_view) too"
  start_bench
  exit_bench
  echo "PASS [$case]"
  ;;
*) fail "unknown case" ;;
esac
