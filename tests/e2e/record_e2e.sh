#!/usr/bin/env bash
# End-to-end tests of recording to disk with the real program under Wine and
# Xvfb: the Record button and F4, the numbered data files, the file-choice
# dialog and a disk that fills up. Every data file is read back with
# read_record.py, which checks its header byte by byte and its rows.
# Usage: record_e2e.sh <bin dir> <case>
# Needs what lib.sh names; reads the dialog through dialog_probe.exe, message
# boxes through message_box_text.exe, clicks controls where
# control_centre.exe finds them and waits for a dialog's keyboard focus with
# keyboard_focus.exe, all from <bin dir>, and analyses recordings with
# quorvel-analyse.exe from there. The full-disk case mounts a small tmpfs
# (root, or a permitted mount) and is skipped, with exit code 77, where
# mounting is not permitted.
set -uo pipefail
bin=$1
case=$2
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source-path=SCRIPTDIR source=lib.sh
. "$here/lib.sh"

# The simulated board's defaults: two channels, 100 kHz over both.
CHANNELS=2 CHANNEL_RATE=50000
ROW_BYTES=$((CHANNELS * 4)) HEADER_BYTES=116
CANNOT_WRITE=$'Ошибка... \n Не могу записать в файл.'
DIALOG_TITLE='Файл для записи'

# The program's active window title and focused control, on two lines.
keyboard_focus() { timeout 20 "$WINE" "$bin/keyboard_focus.exe" </dev/null 2>/dev/null; }

# Start, File and Record buttons in the states that the tests pass through.
buttons=("$START" "$FILE" "$RECORD")
idle_states="$START enabled unchecked; $FILE enabled unchecked; $RECORD disabled unchecked"
running_states="$START enabled checked; $FILE enabled unchecked; $RECORD enabled unchecked"
recording_states="$START enabled checked; $FILE disabled unchecked; $RECORD enabled checked"

saved_state() {  # the Quorvel.sav that the program reads and writes
  printf 'SizeIndex   = %d\r\nDisplayMode = %d\r\nAutoScale   = %d\r\nFFTAvg      = %d\r\nFFTWnd      = %d\r\n' "$@"
}

# The board's tones are moved off the 1024-point bins that the defaults sit
# on: a block of 1024 frames is then no whole number of periods (20.48 and
# 61.44), so that a block lost, repeated or written out of place breaks the
# sine that read_record.py fits to the file's rows.
write_board_settings() {
  printf 'Ch0Frequency = 1000\r\nCh1Frequency = 3000\r\n' > SimBoard.cfg
}
tones=(--sine 0:9:1000 --sine 1:5:3000)

# leading_zeros <window length>: the most rows of zeros a file may begin
# with: the N - B values of a window that had not filled (B = 1024 here),
# and one more for the board's first frame, where both tones start at 0 V
# and the codes may be 0.
leading_zeros() { echo "--max-leading-zeros=$(($1 - 1024 + 1))"; }

# wait_box: waits up to 20 s for a message box captioned with the main
# window's title; box_text receives its text and box its X window.
wait_box() {
  read_box() { box_text=$(timeout 20 "$WINE" "$bin/message_box_text.exe" "$title" </dev/null 2>/dev/null); }
  wait_until 20 read_box || fail "no message box appeared (files: $(data_files))"
  box=$(xdotool search --name "$title_pattern" 2>/dev/null | grep -vx "$wid" | head -1)
  [ -n "$box" ] || fail "the message box has no X window of its own"
}

size_of() { stat -c %s "$1" 2>/dev/null || echo 0; }

# The data files in the current folder, by name, on one line.
data_files() { (shopt -s nullglob; files=(*.MRF); echo "${files[*]}"); }

expect_files() {  # expect_files <what> <names separated by blanks>
  local got
  got=$(data_files)
  [ "$got" = "$2" ] || fail "$1: data files: got '$got', want '$2'"
}

# wait_rows <file> <rows>: waits up to 30 s until the file holds the header
# and at least that many rows.
wait_rows() {
  local want=$((HEADER_BYTES + $2 * ROW_BYTES))
  holds_rows() { [ "$(size_of "$1")" -ge "$want" ]; }
  wait_until 30 holds_rows "$1" ||
    fail "$1: got $(size_of "$1") bytes, want at least $want (files: '$(data_files)', states: $(states "${buttons[@]}"))"
}

# check_file <file> [read_record.py options]: the file read back: header,
# whole rows of the simulated board's channels, values in range, the tones.
check_file() {
  local file=$1 report
  shift
  report=$(python3 "$here/read_record.py" "$file" --channels $CHANNELS --rate $CHANNEL_RATE "$@" 2>&1) ||
    fail "$file read back: $report"
  echo "$report"
}

# check_analysed <file> (<channel> <Hz>)...: the offline tool, as a Windows
# console program, analyses the recording as the bench does and finds each
# channel's tone within a tenth of a 4K window's bin (1.2 Hz).
check_analysed() {
  local file=$1 json
  shift
  json=$("$WINE" "$bin/quorvel-analyse.exe" --json --no-progress --size 4K --window 12 "$file" </dev/null 2>/dev/null) ||
    fail "$file: quorvel-analyse failed: $json"
  while [ $# -ge 2 ]; do
    local got
    got=$(python3 -c 'import json, sys
records = json.loads(sys.stdin.read())
print(next(r["freq_hz"] for r in records if r["channel"] == int(sys.argv[1])))' "$1" <<<"$json") ||
      fail "$file: no result for channel $1 in '$json'"
    python3 -c 'import sys; sys.exit(abs(float(sys.argv[1]) - float(sys.argv[2])) > 1.2)' "$got" "$2" ||
      fail "$file analysed: channel $1 at $got Hz, want $2 Hz"
    shift 2
  done
}

# expect_whole_rows <file>: the file is the header and a whole number of
# rows, at least one.
expect_whole_rows() {
  local size rows
  size=$(size_of "$1")
  rows=$(((size - HEADER_BYTES) / ROW_BYTES))
  { [ "$size" -gt "$HEADER_BYTES" ] && [ "$size" -eq $((HEADER_BYTES + rows * ROW_BYTES)) ]; } ||
    fail "$1: got $size bytes, want $HEADER_BYTES + k x $ROW_BYTES with k >= 1 ($(((size - HEADER_BYTES) % ROW_BYTES)) bytes of a row left over)"
}

# analyse_whole <file>: the offline tool, as a Windows console program,
# reads the whole recording: exit code 0 and no warning about a row cut
# short. Its messages go to the case's folder, which may be on another disk.
analyse_whole() {
  local status messages="$work/analyse-$1.err"
  "$WINE" "$bin/quorvel-analyse.exe" --no-progress "$1" </dev/null >/dev/null 2>"$messages"
  status=$?
  [ "$status" = 0 ] || fail "$1: quorvel-analyse exit code: got $status, want 0 ($(tr -d '\r' <"$messages" | paste -sd '|'))"
  ! grep -q 'cut short' "$messages" || fail "$1: quorvel-analyse: $(grep 'cut short' "$messages" | tr -d '\r')"
}

# record_once <file> <rows>: F2 starts, F4 records until the file holds the
# rows, F4 stops recording and F2 acquisition. The file is closed when
# Record goes up: it does not grow afterwards.
record_once() {
  local file=$1 closed
  press "$wid" F2
  expect_states "started" "$running_states" "${buttons[@]}"
  press "$wid" F4
  expect_states "recording" "$recording_states" "${buttons[@]}"
  wait_rows "$file" "$2"
  press "$wid" F4
  expect_states "Record up" "$running_states" "${buttons[@]}"
  closed=$(size_of "$file")
  press "$wid" F2
  expect_states "stopped" "$idle_states" "${buttons[@]}"
  [ "$(size_of "$file")" = "$closed" ] ||
    fail "$file grew after Record went up: got $(size_of "$file") bytes, want $closed"
}

# choose_file <name>: clicks the file button, waits for the save-file
# dialog and types the name and Return; an empty name cancels with Escape.
choose_file() {
  local where dialog
  where=$(timeout 20 "$WINE" "$bin/control_centre.exe" $FILE </dev/null 2>/dev/null) || fail "the file button cannot be found"
  # shellcheck disable=SC2086  # "x y"
  xdotool mousemove $where click 1
  dialog=$(find_window "^$DIALOG_TITLE\$" 10) || true
  [ -n "$dialog" ] || fail "no dialog titled '$DIALOG_TITLE' after a click on the file button at $where"
  # Keys are taken once the dialog is active with its file name field focused.
  dialog_ready() { focus=$(keyboard_focus); [[ $focus == "$DIALOG_TITLE"$'\n'"Edit "* ]]; }
  wait_until 10 dialog_ready || fail "the dialog '$DIALOG_TITLE' took no keyboard focus: got '$focus'"
  if [ -n "$1" ]; then
    xdotool windowfocus --sync "$dialog" && xdotool type "$1" && xdotool key Return
  else
    press "$dialog" Escape
  fi
  dialog_gone() { [ -z "$(xdotool search --name "^$DIALOG_TITLE\$" 2>/dev/null)" ]; }
  wait_until 10 dialog_gone ||
    fail "the dialog '$DIALOG_TITLE' did not close (keyboard focus: $(keyboard_focus | paste -sd '|'))"
}

checksums() { sha256sum "$@" 2>&1; }

case "$case" in
record)
  # With the built-in configuration (File = "Dat", FileAutoIncrement = 1)
  # the files are Dat001.MRF, Dat002.MRF, ... in the working folder.
  write_board_settings
  saved_state 0 0 0 0 0 > Quorvel.sav
  start_bench
  if ! grep -q '^File *= *"Dat"' Quorvel.cfg || ! grep -q '^FileAutoIncrement *= *1' Quorvel.cfg; then
    fail "the built-in configuration: got '$(grep -a -E '^File' Quorvel.cfg | tr -d '\r' | paste -sd '|')', want File \"Dat\" numbered from 1"
  fi
  expect_states idle "$idle_states" "${buttons[@]}"

  # The 1K window: every block of 1024 rows is the block itself.
  record_once Dat001.MRF 25000
  expect_files "after the first recording" "Dat001.MRF"
  check_file Dat001.MRF "${tones[@]}" "$(leading_zeros 1024)"
  check_analysed Dat001.MRF 1 1000 2 3000

  # Second recording in the same run, in the 4K window: the rows are the
  # oldest of each window, each sample written once as it leaves.
  probe select $SIZE 2
  record_once Dat002.MRF $((3072 + 25000))
  expect_files "after the second recording" "Dat001.MRF Dat002.MRF"
  check_file Dat002.MRF "${tones[@]}" "$(leading_zeros 4096)"
  exit_bench
  before=$(checksums Dat001.MRF Dat002.MRF)

  # A new run numbers from 1 again; the files there are kept and the next
  # free number is taken. The 64K window right after a start still holds
  # zeros, which the file begins with. Escape while recording ends the run.
  start_bench
  probe select $SIZE 6
  press "$wid" F2
  expect_states "started" "$running_states" "${buttons[@]}"
  press "$wid" F4
  expect_states "recording" "$recording_states" "${buttons[@]}"
  wait_rows Dat003.MRF $((64512 + 25000))
  exit_bench
  expect_files "after the new run" "Dat001.MRF Dat002.MRF Dat003.MRF"
  after=$(checksums Dat001.MRF Dat002.MRF)
  [ "$after" = "$before" ] || fail "earlier files changed by the new run: got '$after', want '$before'"
  check_file Dat003.MRF "${tones[@]}" "$(leading_zeros 65536)"
  echo "PASS [$case]"
  ;;

record-while-idle)
  write_board_settings
  saved_state 0 0 0 0 0 > Quorvel.sav
  start_bench
  expect_states idle "$idle_states" "${buttons[@]}"
  # F4 reaches the program while the Record button is disabled: the button
  # goes down and recording is armed, which disables the file button.
  press "$wid" F4
  expect_states "F4 while idle" "$START enabled unchecked; $FILE disabled unchecked; $RECORD disabled checked" "${buttons[@]}"
  # The start halts recording first; the Record button stays down.
  press "$wid" F2
  expect_states "started" "$START enabled checked; $FILE enabled unchecked; $RECORD enabled checked" "${buttons[@]}"
  list_has_results() { list=$(probe list $INFO); grep -q '^---- Channel' <<<"$list"; }
  wait_until 15 list_has_results || fail "no results while running: got '$list'"
  # Blocks pass for a while (a tick every 20 ms) without being recorded.
  sleep 1
  expect_files "after a start with Record down" ""
  # F4 raises the button: still no recording.
  press "$wid" F4
  expect_states "Record up" "$running_states" "${buttons[@]}"
  expect_files "after Record went up" ""
  # F4 again records, into the first file: the halted arming used no number.
  press "$wid" F4
  expect_states "recording" "$recording_states" "${buttons[@]}"
  wait_rows Dat001.MRF 25000
  press "$wid" F4
  expect_states "Record up again" "$running_states" "${buttons[@]}"
  press "$wid" F2
  expect_states stopped "$idle_states" "${buttons[@]}"
  exit_bench
  expect_files "at the end" "Dat001.MRF"
  check_file Dat001.MRF "${tones[@]}" "$(leading_zeros 1024)"
  echo "PASS [$case]"
  ;;

file-choice)
  # The chosen path is cut at its first ".": the folder's path must have
  # none, or the file would land beside it under a shorter name.
  plain=$(mktemp -d "${TMPDIR:-/tmp}/quorvel-e2e-file-choice-XXXXXX")
  case "$plain" in
  *.*) rm -rf "$plain"; plain=$(mktemp -d /tmp/quorvel-e2e-file-choice-XXXXXX) ;;
  esac
  trap 'cleanup; rm -rf "$plain"' EXIT
  cd "$plain" || fail "cannot enter $plain"
  write_board_settings
  saved_state 0 0 0 0 0 > Quorvel.sav
  start_bench
  expect_states idle "$idle_states" "${buttons[@]}"

  # A name typed in the dialog: its extension is dropped and numbering
  # starts at 1.
  choose_file Run.dat
  record_once Run001.MRF 25000
  expect_files "after recording into the chosen name" "Run001.MRF"
  check_file Run001.MRF "${tones[@]}"
  before=$(checksums Run001.MRF)

  # Cancelling keeps the name; numbering starts again at 1, where the file
  # of the first recording is kept and the next free number taken.
  choose_file ""
  record_once Run002.MRF 25000
  expect_files "after the cancelled choice" "Run001.MRF Run002.MRF"
  after=$(checksums Run001.MRF)
  [ "$after" = "$before" ] || fail "Run001.MRF changed: got '$after', want '$before'"
  check_file Run002.MRF "${tones[@]}"

  # The keyboard still works after the file button was clicked (taking the
  # focus) and recording disabled it.
  press "$wid" Escape
  wait_exit
  [ "$code" = 0 ] ||
    fail "exit code after Escape, with the file button clicked and then disabled by recording: got $code, want 0 (keyboard focus: $(keyboard_focus | paste -sd '|'))"
  echo "PASS [$case]"
  ;;

full-disk)
  # A disk of 1 MB: the configuration and the saved state take two pages,
  # the first recording the rest, within a few seconds. Mounting it needs
  # root (or the right to mount a tmpfs); elsewhere the case is skipped.
  disk="$work/disk"
  mkdir -p "$disk"
  if ! mount -t tmpfs -o size=1m tmpfs "$disk" 2>/dev/null; then
    echo "SKIP: full-disk test needs a small filesystem (tmpfs mount not permitted; run as root)"
    exit 77
  fi
  unmount_disk() {
    if [ -n "${pid:-}" ]; then kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; pid=; fi
    cd /
    # The wine server lets go of the program's folder when it has ended.
    for _ in $(seq 1 50); do umount "$disk" 2>/dev/null && break; sleep 0.1; done
    mountpoint -q "$disk" && umount -l "$disk"
    cleanup
  }
  trap unmount_disk EXIT
  cd "$disk" || fail "cannot enter $disk"
  write_board_settings
  saved_state 0 0 0 0 0 > Quorvel.sav
  start_bench
  press "$wid" F2
  expect_states "started" "$running_states" "${buttons[@]}"
  press "$wid" F4
  wait_box
  [ "$box_text" = "$CANNOT_WRITE" ] || fail "message when the disk is full: got '$box_text', want '$CANNOT_WRITE'"
  press "$box" Return
  # Acquisition stopped: the controls answer and are idle, and the closed
  # file grows no more.
  expect_states "after the full disk" "$idle_states" "${buttons[@]}"
  expect_files "after the full disk" "Dat001.MRF"
  stopped=$(size_of Dat001.MRF)
  sleep 1
  [ "$(size_of Dat001.MRF)" = "$stopped" ] ||
    fail "Dat001.MRF grew after the run stopped: got $(size_of Dat001.MRF) bytes, want $stopped"
  # The file holds what the disk took, cut back to whole rows, which both
  # readers take whole.
  expect_whole_rows Dat001.MRF
  check_file Dat001.MRF "${tones[@]}" --min-rows 25000
  analyse_whole Dat001.MRF
  before=$(checksums Dat001.MRF)

  # The next file's header finds no room: the same message, and no file.
  press "$wid" F2
  expect_states "started again" "$running_states" "${buttons[@]}"
  press "$wid" F4
  wait_box
  [ "$box_text" = "$CANNOT_WRITE" ] || fail "message for a header on a full disk: got '$box_text', want '$CANNOT_WRITE'"
  press "$box" Return
  expect_states "after the header failed" "$idle_states" "${buttons[@]}"
  expect_files "after the header failed" "Dat001.MRF"
  after=$(checksums Dat001.MRF)
  [ "$after" = "$before" ] || fail "Dat001.MRF changed: got '$after', want '$before'"

  # Still responsive: acquisition without recording runs on the full disk.
  # The volt spectrum, chosen while idle, shows its lines in the results
  # list only once a tick has taken blocks.
  probe select $VIEW 1
  list=$(probe list $INFO)
  ! grep -q '^Freq' <<<"$list" || fail "spectrum lines before the new start: '$list'"
  press "$wid" F2
  expect_states "started without recording" "$running_states" "${buttons[@]}"
  has_spectrum_lines() { list=$(probe list $INFO); grep -q '^Freq' <<<"$list"; }
  wait_until 15 has_spectrum_lines || fail "no spectrum lines while running on the full disk: got '$list'"
  press "$wid" F2
  expect_states "stopped on the full disk" "$idle_states" "${buttons[@]}"
  expect_files "at the end" "Dat001.MRF"
  exit_bench
  echo "PASS [$case]"
  ;;

*) fail "unknown case" ;;
esac
