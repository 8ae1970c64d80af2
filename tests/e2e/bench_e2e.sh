#!/usr/bin/env bash
# End-to-end tests of the running bench: the main dialog's controls,
# acquisition with the simulated board, the results list, the failures of a
# run and the plot's pixels, under Wine and Xvfb.
# Usage: bench_e2e.sh <bin dir> <case>
# Needs what lib.sh names; reads the dialog through dialog_probe.exe and
# message boxes through message_box_text.exe from <bin dir>.
set -uo pipefail
bin=$1
case=$2
# shellcheck source-path=SCRIPTDIR source=lib.sh
. "$(dirname "$0")/lib.sh"

# Channel colours of the simulated board (COLORREF 0x00BBGGRR).
GREEN=0x00FF00 RED=0x0000FF

# wait_list <seconds> <extended regex>: waits until a line of the results
# list matches; list holds the last lines read.
wait_list() {
  list_has() { list=$(probe list $INFO); grep -Eq -- "$2" <<<"$list"; }
  wait_until "$1" list_has "$1" "$2"
}

# channel_line <channel number> <key>: the first line starting with the key
# in that channel's block of the list last read.
channel_line() {
  awk -v head="^---- Channel № ?$1," -v key="^$2" '
    $0 ~ head { inside = 1; next }
    /^----/ { inside = 0 }
    inside && $0 ~ key { print; exit }' <<<"$list"
}

# wait_box: waits up to 20 s for a message box captioned with the main
# window's title; box_text receives its text and box its X window.
wait_box() {
  read_box() { box_text=$("$WINE" "$bin/message_box_text.exe" "$title" </dev/null 2>/dev/null); }
  wait_until 20 read_box || fail "no message box appeared (list: $(probe list $INFO | head -3 | paste -sd '|'))"
  box=$(xdotool search --name "$title_pattern" 2>/dev/null | grep -vx "$wid" | head -1)
  [ -n "$box" ] || fail "the message box has no X window of its own"
}

# expect_box <want>: the box shows exactly this text.
expect_box() {
  wait_box
  [ "$box_text" = "$1" ] || fail "message: got '$box_text', want '$1'"
}

# colour_at <colour>: count-colour's figures of the main plot, as shell
# variables width, height, pixels, columns, top, peak.
colour_at() {
  local figures
  figures=$(probe count-colour $MAIN_PLOT "$1") || fail "the main plot cannot be read back"
  read -r _ width _ height _ pixels _ columns _ top _ peak <<<"$figures"
}

# keep_shot <name>: a picture of the main plot kept for a failure message.
keep_shot() {
  local shot="${TMPDIR:-/tmp}/quorvel-e2e-$case-$1.bmp"
  # shellcheck disable=SC1003  # tr reads '\\' as one backslash
  probe shot $MAIN_PLOT "$(printf 'Z:%s' "$shot" | tr / '\\')" && echo "$shot"
}

saved_state() {  # the Quorvel.sav that the program writes
  printf 'SizeIndex   = %d\r\nDisplayMode = %d\r\nAutoScale   = %d\r\nFFTAvg      = %d\r\nFFTWnd      = %d\r\n' "$@"
}

# main_plot: the main plot's screen rectangle as left top right bottom;
# at <x %> <y %> puts the pointer there, park rests it in the plot's
# top-left margin (no cross-hair or read-out in the plot), shot <file>
# writes the plot's picture with the pointer parked.
main_plot() {
  read -r left top right bottom <<<"$(probe rect $MAIN_PLOT)"
  [ -n "${bottom:-}" ] || fail "no rectangle for the main plot"
}
at() { xdotool mousemove $((left + (right - left) * $1 / 100)) $((top + (bottom - top) * $2 / 100)); sleep 0.2; }
park() { xdotool mousemove $((left + 8)) $((top + 8)); sleep 0.5; }
shot() { park; probe shot $MAIN_PLOT "$1" || fail "no shot of the main plot"; }

# centre_of <id>: the middle of a control on the screen, as "x y".
centre_of() {
  local l t r b
  read -r l t r b <<<"$(probe rect "$1")"
  [ -n "${b:-}" ] || fail "no rectangle for control $1"
  echo "$(((l + r) / 2)) $(((t + b) / 2))"
}

# off_window: a point of the screen beside the main window, as "x y".
off_window() {
  # shellcheck disable=SC2034  # all set by the eval, kept local
  local X Y WIDTH HEIGHT SCREEN WINDOW
  eval "$(xdotool getwindowgeometry --shell "$wid")"
  local x=$((X + WIDTH + 40))
  [ "$x" -lt 1590 ] || x=$((X - 40))
  [ "$x" -gt 0 ] || fail "no room beside the main window at $X,$Y ${WIDTH}x$HEIGHT"
  echo "$x $((Y + HEIGHT / 2))"
}

running_states="$START enabled checked; $RECORD enabled unchecked; $SIZE disabled"
idle_states="$START enabled unchecked; $RECORD disabled unchecked; $SIZE enabled"

case "$case" in
controls)
  # The saved selections come back into the lists; the lists hold the texts
  # the program shows, the Size list from the built-in configuration's
  # SizeArray.
  saved_state 2 2 1 5 4 > Quorvel.sav
  start_bench
  want_views=$'  Oscilloscope\n  Spectre FFT V\n  Spectre FFT dB0\n  Spectre FFT dB'
  want_sizes=$'1.0K\n2.0K\n4.0K\n8.0K\n16.0K\n32.0K\n64.0K\n128.0K\n256.0K\n512.0K\n1.0M\n2.0M\n4.0M'
  want_avg=$(for n in $(seq 1 40); do printf ' %2d\n' "$n"; done)
  want_windows='Rectangle
Blackman-Harris 92, 4bin
Nuttall-4B, 4bin
Nuttall-4C, 4bin
Flat-top HFT95, 5bin
Flat-top HFT90D, 5bin
Flat-top HFT116D, 6bin
Flat-top HFT144D, 7bin
Flat-top HFT169D, 8bin
Flat-top HFT196D, 9bin
Flat-top HFT223D, 10bin
Flat-top HFT248D, 11bin
Blackman-Harris 7term, 7bin
Cosine summ 7term, 7bin'
  for check in "$VIEW:$want_views:2" "$SIZE:$want_sizes:2" "$AVG:$want_avg:5" "$WINDOW:$want_windows:4"; do
    id=${check%%:*}; rest=${check#*:}; want=${rest%:*}; want_selection=${rest##*:}
    got=$(probe combo "$id")
    [ "$got" = "$want" ] || fail "items of $id: got $(printf '%q' "$got"), want $(printf '%q' "$want")"
    got=$(probe selection "$id")
    [ "$got" = "$want_selection" ] || fail "selection of $id: got $got, want $want_selection"
  done
  { [ -f Quorvel.cfg ] && grep -q '^SizeArray' Quorvel.cfg; } || fail "the built-in configuration was not written"

  # Auto Scale is checked from the saved state but not offered in a decibel view.
  all=("$START" "$FILE" "$RECORD" "$SIZE" "$VIEW" "$AUTO_SCALE")
  expect_states idle \
    "$START enabled unchecked; $FILE enabled unchecked; $RECORD disabled unchecked; $SIZE enabled; $VIEW enabled; $AUTO_SCALE disabled checked" "${all[@]}"
  press "$wid" F2
  expect_states running \
    "$START enabled checked; $FILE enabled unchecked; $RECORD enabled unchecked; $SIZE disabled; $VIEW enabled; $AUTO_SCALE disabled checked" "${all[@]}"
  press "$wid" F2
  expect_states "stopped again" \
    "$START enabled unchecked; $FILE enabled unchecked; $RECORD disabled unchecked; $SIZE enabled; $VIEW enabled; $AUTO_SCALE disabled checked" "${all[@]}"

  # Choices closed in the lists are read back and saved at the end.
  { probe select $AVG 9 && probe select $WINDOW 13; } || fail "the lists cannot be driven"
  exit_bench
  saved_state 2 2 1 9 13 > saved.want
  cmp -s Quorvel.sav saved.want || fail "Quorvel.sav: got $(od -c Quorvel.sav | head -5), want $(od -c saved.want | head -5)"
  echo "PASS [$case]"
  ;;

running)
  # A spectrum view of the 1K window (48.828125 Hz a bin at 50 kHz a channel):
  # channel 1 at bin 41, channel 2 at its default, bin 103, behind a gain of 2.
  printf 'Ch0Frequency = 2001.953125\r\nCh1Amplitude = 2\r\nCh1Gain = 2\r\n' > SimBoard.cfg
  saved_state 0 1 0 0 0 > Quorvel.sav
  start_bench
  expect_states idle "$idle_states" $START $RECORD $SIZE
  press "$wid" F2
  expect_states running "$running_states" $START $RECORD $SIZE
  wait_list 15 '^Freq' || fail "no spectrum lines in the results list: got '$list'"
  for want in '---- Channel № 1, Gain =  1 --------' '---- Channel № 2, Gain =  2 --------'; do
    grep -qxF -- "$want" <<<"$list" || fail "results list: no line '$want' in '$list'"
  done
  got=$(channel_line 1 Freq); want='Freq  = 2001.953 Hz'
  [ "$got" = "$want" ] || fail "channel 1: got '$got', want '$want' (list: '$list')"
  got=$(channel_line 2 Freq); want='Freq  = 5029.297 Hz'
  [ "$got" = "$want" ] || fail "channel 2: got '$got', want '$want' (list: '$list')"
  # The amplitude in volts at the input: 9 V on channel 1, and 2 V on
  # channel 2 once its gain is taken out again.
  for pair in "1 9" "2 2"; do
    # shellcheck disable=SC2086  # the channel and the volts, as two words
    set -- $pair
    got=$(channel_line "$1" 'Ampl0 = .* V$')
    awk -v line="$got" -v want="$2" 'BEGIN { split(line, f, "="); v = f[2] + 0; exit !(v > want - 0.02 && v < want + 0.02) }' ||
      fail "channel $1 amplitude: got '$got', want $2 V (list: '$list')"
  done

  # A selection change alone, as while the drop-down is open, is not acted
  # on; the close-up is. Decibel views offer no Auto Scale; back in the
  # oscilloscope the list shows the time-domain lines after the next tick.
  probe change $VIEW 3
  sleep 0.5
  expect_states "view '  Spectre FFT dB' chosen, list open" "$AUTO_SCALE enabled unchecked; $VIEW enabled" $AUTO_SCALE $VIEW
  probe select $VIEW 3
  expect_states "view '  Spectre FFT dB'" "$AUTO_SCALE disabled unchecked; $VIEW enabled" $AUTO_SCALE $VIEW
  probe select $VIEW 0
  expect_states "view '  Oscilloscope'" "$AUTO_SCALE enabled unchecked; $VIEW enabled" $AUTO_SCALE $VIEW
  wait_list 10 '^Avg   = ' || fail "no oscilloscope lines in the results list: got '$list'"
  ! grep -q '^Freq' <<<"$list" || fail "spectrum lines left in the oscilloscope list: '$list'"
  [ "$(probe selection $VIEW)" = 0 ] || fail "view selection: got $(probe selection $VIEW), want 0"

  press "$wid" F2
  expect_states stopped "$idle_states" $START $RECORD $SIZE
  press "$wid" F2
  expect_states "running again" "$running_states" $START $RECORD $SIZE
  exit_bench
  saved_state 0 0 0 0 0 > saved.want
  cmp -s Quorvel.sav saved.want || fail "Quorvel.sav: got $(od -c Quorvel.sav | head -5)"
  echo "PASS [$case]"
  ;;

results-scroll)
  # The results list of four channels, longer than the list shows, is
  # scrolled while the run goes on: every tick fills it again, with the line
  # first visible kept first, and it is drawn.
  printf 'Channels = 4\r\n' > SimBoard.cfg
  saved_state 0 1 0 0 0 > Quorvel.sav
  start_bench
  press "$wid" F2
  expect_states running "$running_states" $START $RECORD $SIZE
  wait_list 15 '^---- Channel № ?4,' || fail "no fourth channel in the results list: got '$list'"
  lines=$(wc -l <<<"$list")
  [ "$lines" = 52 ] || fail "results list: got $lines lines, want 52 (four channels of 13): '$list'"
  probe scroll $INFO 26
  [ "$(probe top-index $INFO)" = 26 ] || fail "the list did not scroll: top line $(probe top-index $INFO), want 26"
  sleep 2    # many ticks: the display time is 20 ms
  top_line=$(probe top-index $INFO)
  [ "$top_line" = 26 ] || fail "after the ticks the list's top line is $top_line, want 26"
  list=$(probe list $INFO)
  [ "$(wc -l <<<"$list")" = 52 ] || fail "after the ticks: got $(wc -l <<<"$list") lines, want 52: '$list'"
  first=$(sed -n 27p <<<"$list")
  [[ $first == "---- Channel № 3,"* ]] || fail "the top line after the ticks: got '$first', want channel 3's heading"
  # Text is drawn in the list: black pixels of its lines.
  figures=$(probe count-colour $INFO 0x000000) || fail "the results list cannot be read back"
  pixels=$(awk '{ print $6 }' <<<"$figures")
  [ "${pixels:-0}" -gt 200 ] || fail "the results list shows no text after the ticks: $figures"
  press "$wid" F2
  expect_states stopped "$idle_states" $START $RECORD $SIZE
  exit_bench
  echo "PASS [$case]"
  ;;

pending-limit)
  # The board runs far ahead of one block a tick: at 10 MHz a channel and 1K
  # blocks, the floor of 1000 pending blocks is passed within a second.
  printf 'Rate = 20000000\r\n' > SimBoard.cfg
  printf 'Device = "QX420A"\r\nUtility = "KestoUtility"\r\nBase = 1\r\nDisplayBlocks = 1\r\nMaxUsedMemory = 1024\r\n' > Quorvel.cfg
  saved_state 0 0 0 0 0 > Quorvel.sav
  start_bench
  press "$wid" F2
  wait_box
  pattern=$'^Ошибка\\.\\.\\. \n Слишком медленная скорость записи на диск! \n Имеется не записанных блоков - ([0-9]+)\\.$'
  [[ $box_text =~ $pattern ]] || fail "message: got '$box_text', want the pending-blocks message"
  [ "${BASH_REMATCH[1]}" -gt 1000 ] || fail "pending blocks: got ${BASH_REMATCH[1]}, want more than 1000"
  # The run was stopped before the box was shown.
  expect_states "behind the box" "$idle_states" $START $RECORD $SIZE
  press "$box" Return
  exit_bench
  echo "PASS [$case]"
  ;;

disconnect-tick)
  printf 'DisconnectAfter = 1\r\n' > SimBoard.cfg
  start_bench
  press "$wid" F2
  wait_list 10 '^---- Channel' || fail "the run showed no results before the disconnect: got '$list'"
  expect_box $'Устройство (QX420A) неожиданно отключилось!\n Программа будет завершена!'
  expect_states "behind the box" "$idle_states" $START $RECORD $SIZE
  press "$box" Return
  wait_exit
  [ "$code" = 0 ] || fail "exit code: got $code, want 0"
  [ -f Quorvel.sav ] || fail "Quorvel.sav was not written"
  echo "PASS [$case]"
  ;;

disconnect-start)
  # The other registered name of the board: the text names the configured device.
  printf 'DisconnectAfter = 0\r\n' > SimBoard.cfg
  printf 'Device = "QX410A"\r\nUtility = "KestoUtility"\r\nBase = 1\r\n' > Quorvel.cfg
  start_bench
  press "$wid" F2
  expect_box $'Устройство (QX410A) отключено!\n Программа будет завершена!'
  press "$box" Return
  wait_exit
  [ "$code" = 0 ] || fail "exit code: got $code, want 0"
  echo "PASS [$case]"
  ;;

block-size|start-fails)
  # The run does not start; the Start button stays down with the controls
  # idle, and the next F2 runs the stop sequence.
  if [ "$case" = block-size ]; then
    printf 'FailBlockSize = 1\r\n' > SimBoard.cfg
    want=$'Ошибка... \n Не верно заданы параметры платы!'
  else
    printf 'FailStart = 1\r\n' > SimBoard.cfg
    want=$'Ошибка... \n Не верные параметры сбора данных.'
  fi
  start_bench
  press "$wid" F2
  expect_box "$want"
  press "$box" Return
  expect_states "after the failure" "$START enabled checked; $RECORD disabled unchecked; $SIZE enabled" $START $RECORD $SIZE
  got=$(probe list $INFO)
  [ -z "$got" ] || fail "results list after a failed start: got '$got', want empty"
  press "$wid" F2
  expect_states "after F2" "$idle_states" $START $RECORD $SIZE
  exit_bench
  echo "PASS [$case]"
  ;;

largest-window)
  # 32 bits only: the largest window, 4M samples, for 32 channels needs about
  # 1.8 GB of windows and spectra, more than a 32-bit program gets beside its
  # code and libraries (2 GB: it is not marked large-address-aware). The start
  # says so and goes on without windows; the program stays sound, and a window
  # that fits runs afterwards.
  pe=$(od -An -tu4 -j60 -N4 "$bin/Quorvel.exe" | tr -d ' ')
  flags=$(od -An -tu2 -j$((pe + 22)) -N2 "$bin/Quorvel.exe" | tr -d ' ')
  [ $((flags & 0x20)) = 0 ] || fail "Quorvel.exe is marked large-address-aware"
  printf 'Channels = 32\r\n' > SimBoard.cfg
  saved_state 12 0 0 0 0 > Quorvel.sav
  start_bench
  press "$wid" F2
  expect_box $'Ошибка... \n Не хватает памяти для работы программы!'
  press "$box" Return
  expect_states "running without windows" "$running_states" $START $RECORD $SIZE
  sleep 2
  kill -0 "$pid" 2>/dev/null || fail "the program ended after the memory message"
  others=$(xdotool search --name "$title_pattern" 2>/dev/null | grep -vx "$wid")
  [ -z "$others" ] ||
    fail "another window or message box appeared while running without windows"
  press "$wid" F2
  expect_states stopped "$idle_states" $START $RECORD $SIZE
  probe select $SIZE 0 || fail "the Size list cannot be driven"
  press "$wid" F2
  expect_states "running with 1K" "$running_states" $START $RECORD $SIZE
  wait_list 15 '^---- Channel № ?32,' || fail "the 1K run shows no channel 32: got '$list'"
  exit_bench
  echo "PASS [$case]"
  ;;

pixels)
  # The main plot is read back from the screen: each channel's curve in its
  # colour, channel 1 (9 V) green, channel 2 (5 V) red, at the default
  # 1025.39 Hz and 5029.30 Hz.
  saved_state 0 0 0 0 0 > Quorvel.sav
  start_bench
  colour_at $GREEN
  [ "$pixels" = 0 ] || fail "green in the plot before any run: $pixels pixels (shot: $(keep_shot idle))"
  press "$wid" F2
  wait_list 10 '^Avg' || fail "no results before reading the plot: got '$list'"
  # Oscilloscope at a fixed ±10 V: both curves run across the plot, and the
  # larger sine reaches higher.
  scope_drawn() {
    colour_at $GREEN; green_columns=$columns green_top=$top
    colour_at $RED; red_columns=$columns red_top=$top
    [ "$green_columns" -gt $((width / 2)) ] && [ "$red_columns" -gt $((width / 2)) ] &&
      [ "$green_top" -ge 0 ] && [ "$green_top" -lt "$red_top" ]
  }
  wait_until 10 scope_drawn ||
    fail "oscilloscope: got green in $green_columns columns from y $green_top, red in $red_columns from y $red_top, plot ${width}x$height; want both in more than $((width / 2)) columns and green higher (shot: $(keep_shot scope))"
  # Spectrum in dB: each curve peaks at its tone, channel 1's left of
  # channel 2's, both in the lower half of the 25 kHz axis.
  probe select $VIEW 3
  spectrum_drawn() {
    colour_at $GREEN; green_columns=$columns green_peak=$peak
    colour_at $RED; red_columns=$columns red_peak=$peak
    [ "$green_columns" -gt $((width / 2)) ] && [ "$red_columns" -gt $((width / 2)) ] &&
      [ "$green_peak" -ge 0 ] && [ "$green_peak" -lt "$red_peak" ] && [ "$red_peak" -lt $((width / 2)) ]
  }
  wait_until 10 spectrum_drawn ||
    fail "spectrum: got green in $green_columns columns peaking at x $green_peak, red in $red_columns peaking at x $red_peak, plot ${width}x$height; want both in more than $((width / 2)) columns, green's peak left of red's, both left of the middle (shot: $(keep_shot spectrum))"
  exit_bench
  echo "PASS [$case]"
  ;;

zoom)
  # The mouse over the idle main plot: a left drag zooms to its rectangle
  # (the scales change), a double-click returns to the full range, which
  # draws exactly the first frame again. The pointer rests in the plot's
  # top-left margin for every shot, so that no cursor read-out is in it.
  saved_state 0 0 0 0 0 > Quorvel.sav
  start_bench
  main_plot
  shot full.bmp
  at 30 30
  xdotool mousedown 1; sleep 0.2
  for step in 35 40 45 50 55 60; do at "$step" "$step"; done
  xdotool mouseup 1; sleep 0.2
  at 62 62     # the first move without the button zooms
  shot zoomed.bmp
  ! cmp -s full.bmp zoomed.bmp || fail "a drag over the plot changed nothing (shot: $(keep_shot drag))"
  at 50 50
  xdotool click --repeat 2 --delay 80 1; sleep 0.3
  shot restored.bmp
  cmp -s full.bmp restored.bmp || fail "a double-click did not return to the full range (shot: $(keep_shot double-click))"
  exit_bench
  echo "PASS [$case]"
  ;;

click-zoom)
  # A running spectrum in volts: a left click on channel 1's peak zooms x by
  # two about it, so that peak stays under the pointer and channel 2's peak
  # moves twice as far from it; a right click steps back to the full range.
  # The pointer rests in the plot's top-left margin while the peaks are
  # read, so that no cross-hair or read-out is in the plot. With the 8K
  # window (several bins to a column) each peak is one column, the highest
  # of its colour, before and after the zoom (in the dB view the tops of
  # the peaks are cut off by the scale).
  saved_state 3 1 0 0 0 > Quorvel.sav
  start_bench
  main_plot
  # The peaks are columns of the client area, inside the control's border.
  colour_at $GREEN
  left=$((left + (right - left - width) / 2)) top=$((top + (bottom - top - height) / 2))
  press "$wid" F2
  wait_list 10 '^Freq' || fail "no spectrum before the click: got '$list'"
  park
  peaks() { colour_at $GREEN; green_peak=$peak; colour_at $RED; red_peak=$peak; }
  # near <got> <want> <tolerance>
  near() { [ "$1" -ge $(($2 - $3)) ] && [ "$1" -le $(($2 + $3)) ]; }
  # peaks_near <green> <red> <tolerance of green>: the peaks there, and as
  # far apart as the red one's place tells, give or take a pixel or two.
  peaks_near() {
    peaks
    near "$green_peak" "$1" "$3" && near $((red_peak - green_peak)) $(($2 - $1)) 2
  }
  peaks
  green_full=$green_peak red_full=$red_peak
  apart=$((red_full - green_full))
  { [ "$green_full" -gt 0 ] && [ "$apart" -gt 50 ]; } ||
    fail "full range: green peak at x $green_full, red at x $red_full; want both, apart by more than 50 (shot: $(keep_shot full))"
  # Low in the plot, so that the read-out box opens above the pointer, away
  # from the peaks.
  xdotool mousemove $((left + green_full)) $((top + (bottom - top) * 85 / 100)); sleep 0.2
  xdotool click 1
  park
  # The value kept under the pointer is read from the press point's column:
  # the peak may move by the width of a column at either zoom.
  wait_until 5 peaks_near "$green_full" $((green_full + 2 * apart)) 4 ||
    fail "after a click on x $green_full: green peak at x $green_peak, red at x $red_peak; want $green_full and $((green_full + 2 * apart)) (shot: $(keep_shot click))"
  xdotool mousemove $((left + (right - left) / 2)) $((top + (bottom - top) / 2)); sleep 0.2
  xdotool click 3
  park
  wait_until 5 peaks_near "$green_full" "$red_full" 1 ||
    fail "after a right click: green peak at x $green_peak, red at x $red_peak; want the full range's $green_full and $red_full (shot: $(keep_shot right-click))"
  exit_bench
  echo "PASS [$case]"
  ;;

drag-outside)
  # A drag over the idle main plot let go outside it zooms nothing, neither
  # then nor when the pointer comes back after clicks elsewhere: let go over
  # the results list, and off the main window. The pointer rests in the
  # plot's top-left margin for every shot.
  saved_state 0 0 0 0 0 > Quorvel.sav
  start_bench
  main_plot
  shot full.bmp
  for away in "$(centre_of $INFO)" "$(off_window)"; do
    at 30 30
    xdotool mousedown 1; sleep 0.2
    for step in 35 40 45 50 55 60; do at "$step" "$step"; done
    # shellcheck disable=SC2086  # "x y", as two words
    xdotool mousemove $away; sleep 0.2
    xdotool mouseup 1; sleep 0.3
    xdotool click 1; sleep 0.3
    for step in 62 50 40; do at "$step" "$step"; done
    shot back.bmp
    cmp -s full.bmp back.bmp || fail "a drag let go at $away zoomed when the pointer came back (shot: $(keep_shot drag-outside))"
  done
  exit_bench
  echo "PASS [$case]"
  ;;

cursor-leaves)
  # The pointer going from the main plot straight to the top plot, to the
  # results list or off the main window takes the cross-hair (the light
  # green cursor colour) with it, with acquisition idle and while it runs.
  saved_state 0 0 0 0 0 > Quorvel.sav
  start_bench
  CURSOR=0x80FF80
  main_plot
  cursor_shown() { colour_at "$CURSOR"; [ "$pixels" -gt 0 ]; }
  cursor_gone() { colour_at "$CURSOR"; [ "$pixels" = 0 ]; }
  for phase in idle running; do
    if [ "$phase" = running ]; then
      press "$wid" F2
      wait_list 10 '^Avg' || fail "no results while running: got '$list'"
    fi
    for away in "top-plot $(centre_of $TOP_PLOT)" "list $(centre_of $INFO)" "off-window $(off_window)"; do
      # shellcheck disable=SC2086  # where, x and y, as three words
      set -- $away
      at 50 50
      at 52 52
      wait_until 5 cursor_shown || fail "$phase: no cross-hair with the pointer in the plot (shot: $(keep_shot "$phase-inside"))"
      xdotool mousemove "$2" "$3"
      sleep 0.5
      wait_until 5 cursor_gone ||
        fail "$phase: the cross-hair stayed ($pixels pixels) after the pointer went to the $1 (shot: $(keep_shot "$phase-$1"))"
    done
  done
  exit_bench
  echo "PASS [$case]"
  ;;

*) fail "unknown case" ;;
esac
