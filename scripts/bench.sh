#!/usr/bin/env bash
# Builds the benchmarks natively (Release, -O3 for the FFT) and runs them.
# They print Google Benchmark's table, then the ratios of the real FFT to
# FFTW's real transform, of one spectrum pass to its yardstick, and the time of
# the 11-term window at 2^22. Each benchmark runs five times and the ratios
# use the fastest run. Extra arguments go to the benchmark program, e.g.
#   scripts/bench.sh --benchmark_filter='RealFft|Fftw'
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/setup.sh"
dir="$top/build/bench"
cmake -S "$top" -B "$dir" -DCMAKE_BUILD_TYPE=Release -DQUORVEL_BENCHMARKS=ON -DQUORVEL_TESTS=OFF >/dev/null
cmake --build "$dir" -j "$(nproc)" --target analysis_benchmark
exec "$dir/bin/analysis_benchmark" --benchmark_min_time=0.2 --benchmark_repetitions=5 \
  --benchmark_display_aggregates_only=true "$@"
