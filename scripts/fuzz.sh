#!/usr/bin/env bash
# Coverage-guided fuzzing of every reader of outside input: Quorvel.cfg with
# its settings, Quorvel.sav, SimBoard.cfg and the recordings of
# quorvel-analyse (tests/fuzz/). Builds the libFuzzer targets with clang-14,
# AddressSanitizer and UndefinedBehaviorSanitizer into build/fuzz and runs
# each for the given time, one after the other, on a copy of its seed corpus
# (tests/fuzz/corpus/<name>/) in build/fuzz/corpus/<name>/.
#
# Usage: scripts/fuzz.sh [seconds per target]   (default 600)
#
# Prints one summary line per target. Exits non-zero when a target crashed,
# leaked, hit undefined behaviour or timed out; the input that did it is kept
# in build/fuzz/crashes/<name>/ and its path printed (replay it with
# build/fuzz/bin/fuzz_<name> <file>). Every target's output is in
# build/fuzz/logs/<name>.log.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-600}
case "$seconds" in
  ''|*[!0-9]*|0) echo "usage: $0 [seconds per target, above 0]" >&2; exit 2 ;;
esac
jobs=${JOBS:-$(nproc)}
build="$top/build/fuzz"

"$top/scripts/setup.sh"
CC=clang-14 CXX=clang++-14 cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVEL_FUZZ=ON >/dev/null
cmake --build "$build" -j "$jobs"

# The targets rewrite their input into a file: memory-backed files are much
# faster to rewrite than a disk's. The folder goes when the script ends.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then
  scratch=$(mktemp -d /dev/shm/quorvel-fuzz.XXXXXX)
else
  mkdir -p "$build/tmp"
  scratch=$(mktemp -d "$build/tmp/run.XXXXXX")
fi
trap 'rm -rf "$scratch"' EXIT

symbolizer=$(command -v llvm-symbolizer-14 || command -v llvm-symbolizer || true)
export ASAN_OPTIONS=detect_leaks=1${symbolizer:+:external_symbolizer_path=$symbolizer}
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1${symbolizer:+:external_symbolizer_path=$symbolizer}

# name and the longest input worth trying: texts of a few lines, recordings
# of a header and some hundred rows.
targets=(config:4096 view_state:1024 simboard:2048 recording:8192 input_files:8192)

failed=()
summaries=()
for entry in "${targets[@]}"; do
  name=${entry%%:*}
  max_len=${entry#*:}
  corpus="$build/corpus/$name"
  crashes="$build/crashes/$name"
  log="$build/logs/$name.log"
  rm -rf "$corpus"
  mkdir -p "$corpus" "$crashes" "$(dirname "$log")"
  cp "$top/tests/fuzz/corpus/$name/"* "$corpus/"
  # Inputs of an earlier run stay beside the new ones; only this run's count.
  findings() { find "$crashes" -type f \( -name 'crash-*' -o -name 'leak-*' -o -name 'timeout-*' -o -name 'oom-*' \) | sort; }
  before=$(findings)

  echo "== fuzz_$name for $seconds s"
  status=0
  TMPDIR="$scratch" "$build/bin/fuzz_$name" "$corpus" \
    -max_total_time="$seconds" -max_len="$max_len" -dict="$top/tests/fuzz/dict/$name.dict" \
    -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$crashes/" \
    >"$log" 2>&1 || status=$?

  final() { local v; v=$(sed -n "s/^stat::$1: *//p" "$log" | tail -1); echo "${v:--}"; }
  last=$(grep -E '^#[0-9]+.*cov: ' "$log" | tail -1 || true)
  # A run that stops while loading its seeds has no status line: "-".
  field() { local v; v=$(sed -n "s/.* $1: \([^ ]*\).*/\1/p" <<<"$last"); echo "${v:--}"; }
  new=$(comm -13 <(echo "$before") <(findings) | grep -v '^$' || true)
  count=$(grep -c . <<<"$new" || true)
  line=$(printf '%-11s executions %-9s execs/s %-6s cov %-5s ft %-6s corpus %-13s crashes %s' \
    "$name" "$(final number_of_executed_units)" "$(final average_exec_per_sec)" \
    "$(field cov)" "$(field ft)" "$(field corp)" "$count")
  summaries+=("$line")
  echo "$line"
  if [ "$status" -ne 0 ] || [ "$count" -ne 0 ]; then
    failed+=("$name")
    grep -E 'ERROR: |runtime error|check failed|SUMMARY' "$log" | head -5 || true
    echo "   exit status $status; log $log"
    while read -r f; do [ -n "$f" ] && echo "   input: $f"; done <<<"$new"
  fi
done

echo "== fuzzing summary ($seconds s per target)"
printf '%s\n' "${summaries[@]}"
if [ ${#failed[@]} -ne 0 ]; then
  echo "== fuzzing found faults in: ${failed[*]}"
  exit 1
fi
echo "== no faults found"
