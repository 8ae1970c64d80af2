#!/usr/bin/env bash
# Builds the benchmarks natively (Release, -O3 for the FFT) and runs them.
# Each program prints Google Benchmark's table, then its figures: the real FFT
# against FFTW's real transform, one spectrum pass against its yardstick, the
# 11-term window at 2^22 (analysis_benchmark); the plot component's curve
# reduction against a plain min/max pass (plot_benchmark); the sliding windows
# against their floor and a whole acquisition tick (engine_benchmark);
# quorvel-analyse on a 1 GiB recording against reading it and its FFTs
# alone (analyse_tool_benchmark); the code-density histogram in MB/s and
# the sine fit against one spectrum pass (converter_tests_benchmark). Each
# benchmark runs five times and the figures use the fastest run. Extra
# arguments go to every benchmark program, e.g.
#   scripts/bench.sh --benchmark_filter='RealFft|Fftw'
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/setup.sh"
dir="$top/build/bench"
cmake -S "$top" -B "$dir" -DCMAKE_BUILD_TYPE=Release -DQUORVEL_BENCHMARKS=ON -DQUORVEL_TESTS=OFF >/dev/null
programs=(analysis_benchmark plot_benchmark engine_benchmark recorder_benchmark analyse_tool_benchmark
          converter_tests_benchmark)
cmake --build "$dir" -j "$(nproc)" --target "${programs[@]}"
for program in "${programs[@]}"; do
  echo "== $program"
  "$dir/bin/$program" --benchmark_min_time=0.2 --benchmark_repetitions=5 \
    --benchmark_display_aggregates_only=true "$@"
done
