#!/usr/bin/env bash
# The project's test command: installs what is missing, builds all four builds
# and runs every test: natively, natively under AddressSanitizer and
# UndefinedBehaviorSanitizer, and the 64-bit Windows build under Wine (unit
# tests and end-to-end tests of the real program on a private Xvfb display).
# Exits non-zero on any failure.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

scripts/setup.sh
scripts/build.sh native asan win64 win32

echo "== native tests"
ctest --test-dir build/native --output-on-failure -j "$(nproc)"
echo "== native tests with sanitizers"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build/asan --output-on-failure -j "$(nproc)"
echo "== fuzzing, 20 s per target"
scripts/fuzz.sh 20

echo "== Windows tests under Wine"
. scripts/wine.sh
qv_wine_env "$top/build/win64"
trap qv_stop EXIT
qv_start_xvfb
qv_wine_start
qv_register "$top/build/win64/bin"
ctest --test-dir build/win64 --output-on-failure --timeout 300
echo "== all tests passed"
