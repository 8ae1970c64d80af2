#!/usr/bin/env bash
# A soak run of the real program: Quorvel.exe under Wine on a private Xvfb
# display records the simulated board (4 channels, 1 MS/s over all of them,
# known tones) for the given time, and stops and starts acquisition and
# recording every few minutes, so that a new numbered file is written each
# time. Every closed file is checked and then deleted (only its size and the
# results are kept), so at most two files lie on disk at a time:
#   - its size is the 116-byte header and whole rows, its header names the
#     four channels and the rate of one channel;
#   - every channel's smallest and largest value over the whole file lie at
#     its tone's DC -/+ amplitude (within the converter step, a few noise
#     sigmas and the sampling of the crest) and no step between two rows
#     breaks the sine (tests/soak/check_record.cpp, reading the file a slice
#     at a time);
#   - the native quorvel-analyse finds each channel's tone frequency and a
#     Min and Max of its last window within the same bounds
#     (tests/soak/compare_analysis.py);
#   - the numbers advance without gaps: Dat001.MRF, Dat002.MRF, ...
# Every minute the resident memory (VmRSS) and CPU time of the Quorvel.exe
# process are sampled, and the display is searched for a message box or any
# other window besides the main one; the memory at the end must lie within
# 8 MiB of the memory after the first minute. At the end Escape closes the
# program, which must end with code 0.
#
# Usage: scripts/soak.sh [options] [minutes]        (default 60 minutes)
#   --build DIR      the 64-bit Windows build (default build/soak), built
#                    there when needed, with its own Wine prefix
#   --native DIR     the native build of quorvel-analyse (default DIR-native)
#   --restart SEC    seconds between restarts (default 180)
#   --rate HZ        aggregate sampling rate of the board (default 1000000)
# Exits 0 when every check passed; otherwise prints a FAIL line and exits 1.
# Not part of scripts/test.sh.
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)

minutes=60
build=$top/build/soak
native=
restart_seconds=180
rate=1000000
while [ $# -gt 0 ]; do
  case "$1" in
    --build) build=$(realpath -m "$2"); shift 2 ;;
    --native) native=$(realpath -m "$2"); shift 2 ;;
    --restart) restart_seconds=$2; shift 2 ;;
    --rate) rate=$2; shift 2 ;;
    -h|--help) sed -n '2,/^set -uo/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
    -*) echo "soak.sh: unknown option $1" >&2; exit 2 ;;
    *) minutes=$1; shift ;;
  esac
done
[ -n "$native" ] || native=$build-native
[[ $minutes =~ ^[1-9][0-9]*$ ]] || { echo "soak.sh: minutes must be a whole number above 0, got '$minutes'" >&2; exit 2; }
{ [[ $restart_seconds =~ ^[1-9][0-9]*$ ]] && [ "$restart_seconds" -ge 20 ]; } ||
  { echo "soak.sh: --restart wants at least 20 seconds, got '$restart_seconds'" >&2; exit 2; }
{ [[ $rate =~ ^[1-9][0-9]*$ ]] && [ "$rate" -ge 100000 ] && [ "$rate" -le 20000000 ]; } ||
  { echo "soak.sh: --rate wants a whole number of Hz from 100000 to 20000000, got '$rate'" >&2; exit 2; }

# ---- The board and the bench ------------------------------------------------
CHANNELS=4
HEADER_BYTES=116   # the recording header's size (recording/record_format.h)
ROW_BYTES=$((CHANNELS * 4))
FULL_SCALE=10
NOISE=0.0005
# channel:amplitude:Hz:DC:noise. The tones sit off the bins of every window
# and no block is a whole number of their periods, so that a block lost or
# repeated breaks the sine in the file.
tones=("0:9:1000:0:$NOISE" "1:5:3000:0:$NOISE" "2:2:7000:0.5:$NOISE" "3:7:11000:-1:$NOISE")
channel_rate=$(awk -v r="$rate" -v c="$CHANNELS" 'BEGIN { printf "%.17g", r / c }')
# The window of the bench: the Size list's fourth entry, 8K.
SIZE_INDEX=3 WINDOW=8192
DISPLAY_TIME=20
# The engine's block: the rows of one timer period, within 256 and the
# window, raised to a power of two.
block=$(awk -v t="$DISPLAY_TIME" -v r="$channel_rate" -v n="$WINDOW" 'BEGIN {
  d = int(t * r * 0.001 + 0.5); if (d < 256) d = 256; if (d > n) d = n
  b = 1; while (b < d) b *= 2; print b }')
# A recording that begins with the first block after a start begins with
# the part of the window that had not filled yet.
max_leading_zeros=$((WINDOW > block ? WINDOW - block : 0))
ANALYSIS_SIZE=65536
RSS_SLACK_KIB=$((8 * 1024))

write_board_settings() {
  {
    printf 'Channels = %d\r\nRate = %d\r\n' "$CHANNELS" "$rate"
    local t c a f dc n
    for t in "${tones[@]}"; do
      IFS=: read -r c a f dc n <<<"$t"
      printf 'Ch%dFrequency = %s\r\nCh%dAmplitude = %s\r\nCh%dDc = %s\r\nCh%dNoise = %s\r\nCh%dHarmonics =\r\n' \
        "$c" "$f" "$c" "$a" "$c" "$dc" "$c" "$n" "$c"
    done
  } > SimBoard.cfg
}

# The bench's configuration: records into Dat001.MRF, Dat002.MRF, ...; the
# balloon help is off, so that no window but the main one comes up.
write_bench_settings() {
  printf '%s\r\n' 'Device = "QX420A"' 'Utility = "KestoUtility"' 'Base = 1' \
    "DisplayTime = $DISPLAY_TIME" 'DisplayBlocks = 10' 'AverageCounter = 20' 'HelpPreDelay = 0' \
    'SizeArray = 1K, 2K, 4K, 8K, 16K, 32K, 64K' 'File = "Dat"' 'FileAutoIncrement = 1' > Quorvel.cfg
  # The dB spectrum view with a 7-term window, as the run command opens.
  printf 'SizeIndex   = %d\r\nDisplayMode = 3\r\nAutoScale   = 1\r\nFFTAvg      = 0\r\nFFTWnd      = 12\r\n' \
    "$SIZE_INDEX" > Quorvel.sav
}

# ---- Build ------------------------------------------------------------------
echo "soak: $minutes min, restarts every $restart_seconds s, $CHANNELS channels at $rate Hz over all ($channel_rate Hz each), window $WINDOW, block $block"
echo "soak: build $build, native $native"
"$top/scripts/setup.sh" || { echo "FAIL [soak]: installing the packages failed"; exit 1; }
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_TOOLCHAIN_FILE="$top/cmake/toolchain-x86_64-w64-mingw32.cmake" >/dev/null ||
    { echo "FAIL [soak]: configuring $build failed"; exit 1; }
fi
cmake --build "$build" -j2 --target Quorvel simboard_driver simboard_utility pellume dialog_probe message_box_text \
  >"$build/soak-build.log" 2>&1 || { tail -20 "$build/soak-build.log"; echo "FAIL [soak]: building $build failed"; exit 1; }
if [ ! -f "$native/CMakeCache.txt" ]; then
  cmake -S "$top" -B "$native" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVEL_TESTS=OFF >/dev/null ||
    { echo "FAIL [soak]: configuring $native failed"; exit 1; }
fi
cmake --build "$native" -j2 --target quorvel-analyse >"$native/soak-build.log" 2>&1 ||
  { tail -20 "$native/soak-build.log"; echo "FAIL [soak]: building $native failed"; exit 1; }
analyse=$native/bin/quorvel-analyse
checker=$build/soak-tools/check_record
checker_sources=("$top/tests/soak/check_record.cpp" "$top/recording/record_format.cpp")
stale=
for f in "${checker_sources[@]}" "$top/recording/record_format.h"; do [ "$f" -nt "$checker" ] && stale=1; done
if [ ! -x "$checker" ] || [ -n "$stale" ]; then
  mkdir -p "$build/soak-tools"
  g++ -O2 -std=c++17 -Wall -Wextra -I"$top" -o "$checker" "${checker_sources[@]}" ||
    { echo "FAIL [soak]: building the file checker failed"; exit 1; }
fi

# ---- Wine, the display and the work folder ----------------------------------
# shellcheck source-path=SCRIPTDIR source=wine.sh
. "$top/scripts/wine.sh"
qv_wine_env "$build"
bin=$build/bin
case=soak
TMPDIR=$build
# shellcheck source-path=SCRIPTDIR source=../tests/e2e/lib.sh
. "$top/tests/e2e/lib.sh"    # work folder (the current directory), fail, probe, press, states, ...
checks=$build/soak-checks
rm -rf "$checks" && mkdir -p "$checks"

check_pid=
soak_cleanup() {
  [ -n "$check_pid" ] && kill "$check_pid" 2>/dev/null && wait "$check_pid" 2>/dev/null
  cleanup
  qv_stop
}
trap soak_cleanup EXIT

# Disk: the file being written and the one being checked, and a margin.
file_bytes=$((restart_seconds * rate * 4 + HEADER_BYTES))
free_bytes=$(df --output=avail -B1 "$work" | tail -1 | tr -d ' ')
need_bytes=$((2 * file_bytes + (1 << 30)))
echo "soak: work folder $work, $((free_bytes >> 20)) MiB free, $((need_bytes >> 20)) MiB needed (files of about $((file_bytes >> 20)) MiB, at most two at a time)"
[ "$free_bytes" -ge "$need_bytes" ] || { echo "FAIL [soak]: $((free_bytes >> 20)) MiB free on the work folder's disk, want $((need_bytes >> 20)) MiB"; exit 1; }

qv_start_xvfb || { echo "FAIL [soak]: Xvfb did not start"; exit 1; }
qv_wine_start
qv_register "$bin" || { echo "FAIL [soak]: registering the components failed"; exit 1; }

# ---- Figures ----------------------------------------------------------------
files=0 total_bytes=0 restarts=0
file_lines=()
rss_lines=()
rss_first='' rss_last=''
start_epoch=

print_summary() {
  echo "---- soak summary ----"
  echo "run:             $minutes min, restarts every $restart_seconds s, $CHANNELS channels at $rate Hz ($channel_rate Hz each)"
  echo "files:           $files checked, $total_bytes bytes ($((total_bytes >> 20)) MiB) in all"
  local line
  for line in "${file_lines[@]}"; do echo "  $line"; done
  echo "restarts:        $restarts"
  echo "memory (VmRSS):  after the first minute ${rss_first:-?} KiB, at the end ${rss_last:-?} KiB" \
    "($([ -n "$rss_first" ] && [ -n "$rss_last" ] && echo "$((rss_last - rss_first))" || echo ?) KiB)"
  for line in "${rss_lines[@]}"; do echo "  $line"; done
}

fail() {
  print_summary
  echo "FAIL [soak]: $*"
  exit 1
}

# ---- The program ------------------------------------------------------------
write_board_settings
write_bench_settings
idle_states="$START enabled unchecked; $RECORD disabled unchecked"
running_states="$START enabled checked; $RECORD enabled unchecked"
recording_states="$START enabled checked; $RECORD enabled checked"
buttons=("$START" "$RECORD")

now() { date +%s.%N; }

# The VmRSS (KiB) and CPU time (clock ticks) of the program's process: the
# wine64 process started for Quorvel.exe, which becomes that process itself
# (or, with a Wine that starts it as a child, its descendant).
program_pid() {
  local p=$pid children
  while [ -n "$p" ]; do
    tr '\0' ' ' <"/proc/$p/cmdline" 2>/dev/null | grep -qi 'quorvel\.exe' && { echo "$p"; return 0; }
    children=$(pgrep -P "$p" | head -1)
    p=$children
  done
  return 1
}
rss_of() { awk '/^VmRSS:/ { print $2 }' "/proc/$program/status" 2>/dev/null; }
cpu_of() { awk '{ print $14 + $15 }' "/proc/$program/stat" 2>/dev/null; }
ticks_per_second=$(getconf CLK_TCK)

# look_for_boxes: fails when the program ended, a message box is up, or any
# window besides the main one is shown.
look_for_boxes() {
  kill -0 "$pid" 2>/dev/null || { wait "$pid"; fail "Quorvel.exe ended with code $? (wine log: $(tail -3 "$work/wine.log" | paste -sd '|'))"; }
  local text others w root
  if text=$(timeout 20 "$WINE" "$bin/message_box_text.exe" "$title" </dev/null 2>/dev/null); then
    fail "a message box came up: '$(tr '\n' '|' <<<"$text")'"
  fi
  others=
  root=$(xwininfo -root -int | awk '/Window id:/ { print $4 }')
  for w in $(xdotool search --onlyvisible --name '' 2>/dev/null); do
    [ "$w" = "$wid" ] || [ "$w" = "$root" ] && continue
    others+="'$(xdotool getwindowname "$w" 2>/dev/null)' "
  done
  [ -z "$others" ] || fail "windows besides the main one came up: $others"
}

# sample_memory <label>: VmRSS, and the CPU share of one core since the
# last sample and since the first start.
sample_memory() {
  local rss cpu at elapsed share
  rss=$(rss_of) cpu=$(cpu_of) at=$(now)
  [ -n "$rss" ] || fail "no VmRSS for Quorvel.exe (pid $program)"
  elapsed=$(awk -v a="$start_epoch" -v b="$at" 'BEGIN { printf "%.0f", b - a }')
  share=$(awk -v c="$((cpu - cpu_last))" -v t="$ticks_per_second" -v a="$sample_epoch" -v b="$at" \
    -v ca="$((cpu - cpu_start))" -v s="$start_epoch" \
    'BEGIN { printf "%.0f%% of one core (%.0f%% since the first start)", 100 * c / t / (b - a), 100 * ca / t / (b - s) }')
  cpu_last=$cpu sample_epoch=$at
  rss_lines+=("$1 (${elapsed} s): VmRSS $rss KiB, CPU $share")
  echo "soak: ${rss_lines[-1]}"
  [ -n "$rss_first" ] || rss_first=$rss
  rss_last=$rss
}

number=1
current=
record_started=
pending_name='' pending_seconds=''

name_of() { printf 'Dat%03d.MRF' "$1"; }

start_cycle() {
  current=$(name_of "$number")
  press "$wid" F2
  expect_states "started" "$running_states" "${buttons[@]}"
  record_started=$(now)
  press "$wid" F4
  expect_states "recording" "$recording_states" "${buttons[@]}"
  file_there() { [ -f "$current" ]; }
  wait_until 10 file_there || fail "recording writes no $current (files: $(data_files))"
  # Only the file being written and the one still being checked lie here.
  local f
  for f in $(data_files); do
    [ "$f" = "$current" ] || [ "$f" = "$pending_name" ] ||
      fail "unexpected data file $f while recording $current (files: $(data_files))"
  done
}

stop_cycle() {
  local closed
  pending_seconds=$(awk -v a="$record_started" -v b="$(now)" 'BEGIN { printf "%.1f", b - a }')
  press "$wid" F4
  expect_states "Record up" "$running_states" "${buttons[@]}"
  closed=$(stat -c %s "$current")
  press "$wid" F2
  expect_states "stopped" "$idle_states" "${buttons[@]}"
  [ "$(stat -c %s "$current")" = "$closed" ] || fail "$current grew after Record went up"
  number=$((number + 1))
}

data_files() { (shopt -s nullglob; f=(*.MRF); echo "${f[*]}"); }

# check_in_background <file> <seconds recorded>: checks the file with the
# checker and the offline tool, then deletes it; the results land in
# $checks/<file>.log and the exit status in $checks/<file>.status.
check_in_background() {
  local name=$1 seconds=$2
  (
    log=$checks/$name.log
    status=0
    size=$(stat -c %s "$name")
    rows=$(( (size - HEADER_BYTES) / ROW_BYTES ))
    tone_args=()
    for t in "${tones[@]}"; do tone_args+=(--tone "$t"); done
    nice -n 10 "$checker" "$name" --channels "$CHANNELS" --rate "$channel_rate" --full-scale "$FULL_SCALE" \
      --max-leading-zeros "$max_leading_zeros" "${tone_args[@]}" >"$log" 2>&1 || status=1
    if [ "$rows" -ge "$ANALYSIS_SIZE" ]; then
      nice -n 10 "$analyse" --json -q --size "$ANALYSIS_SIZE" --window 12 "$name" 2>>"$log.tool" |
        python3 "$top/tests/soak/compare_analysis.py" --rate "$channel_rate" --size "$ANALYSIS_SIZE" \
          --full-scale "$FULL_SCALE" "${tone_args[@]}" >>"$log" 2>&1 || status=1
    else
      echo "  $rows rows do not fill a window of $ANALYSIS_SIZE: not analysed" >>"$log"
    fi
    # Rows against the time between the two presses of F4: near 1 while the
    # bench keeps up with the board.
    echo "  $(awk -v r="$rows" -v c="$channel_rate" -v s="$seconds" \
      'BEGIN { printf "%.1f s of signal in %.1f s of recording (%.3f)", r / c, s, r / c / s }')" >>"$log"
    echo "$status $size $rows" >"$checks/$name.status"
    if [ "$status" = 0 ]; then
      rm -f "$name"
    else
      mkdir -p "$build/soak-failed" && mv "$name" "$build/soak-failed/"
    fi
  ) &
  check_pid=$!
}

# collect_check: waits for the check under way and takes its results.
collect_check() {
  [ -n "$pending_name" ] || return 0
  wait "$check_pid" 2>/dev/null
  check_pid=
  local name=$pending_name status size rows
  pending_name=
  cat "$checks/$name.log"
  read -r status size rows <"$checks/$name.status" || fail "$name: the check left no status"
  files=$((files + 1))
  total_bytes=$((total_bytes + size))
  file_lines+=("$name: $size bytes, $rows rows, $(sed -n 's/^  \(.* s of signal in .*\)$/\1/p' "$checks/$name.log")")
  [ "$status" = 0 ] ||
    fail "$name: $(grep -E '^  |FAILED' "$checks/$name.log" | grep -v ': OK$' | paste -sd '|') (kept in $build/soak-failed)"
}

queue_check() {
  collect_check
  pending_name=$current
  check_in_background "$current" "$pending_seconds"
}

start_bench
program=$(program_pid) || fail "no process runs Quorvel.exe (started as pid $pid)"
echo "soak: Quorvel.exe is pid $program"
cpu_start=$(cpu_of) cpu_last=$cpu_start
start_epoch=$(now) sample_epoch=$start_epoch
start_cycle
total_seconds=$((minutes * 60))
next_sample=60
next_restart=$restart_seconds
while :; do
  elapsed=$(awk -v a="$start_epoch" -v b="$(now)" 'BEGIN { printf "%d", b - a }')
  [ "$elapsed" -ge "$total_seconds" ] && break
  if [ "$elapsed" -ge "$next_sample" ]; then
    sample_memory "minute $((next_sample / 60))"
    look_for_boxes
    next_sample=$((next_sample + 60))
  fi
  if [ "$elapsed" -ge "$next_restart" ]; then
    stop_cycle
    queue_check
    look_for_boxes
    start_cycle
    restarts=$((restarts + 1))
    echo "soak: restart $restarts at $elapsed s, recording $current"
    next_restart=$((next_restart + restart_seconds))
  fi
  sleep 1
done
sample_memory "minute $minutes, the end"
look_for_boxes
stop_cycle
queue_check
collect_check
look_for_boxes
exit_bench

print_summary
[ $((rss_last - rss_first)) -le "$RSS_SLACK_KIB" ] ||
  fail "memory grew from $rss_first KiB after the first minute to $rss_last KiB at the end, more than $RSS_SLACK_KIB KiB"
echo "PASS [soak]"
