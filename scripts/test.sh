#!/usr/bin/env bash
# The project's test command: installs what is missing, checks the shell
# scripts with shellcheck and the C++ layout with clang-format, builds all
# four builds and runs every test: natively, natively under AddressSanitizer
# and UndefinedBehaviorSanitizer, the 64-bit Windows build under Wine (unit
# tests and end-to-end tests of the real program on a private Xvfb display),
# and the same for the 32-bit Windows build under a WoW64 Wine when one can
# be set up (scripts/setup-wow64.sh); otherwise one line says why those were
# skipped.
# Exits non-zero on any failure.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

scripts/setup.sh
echo "== shellcheck"
# Every finding fails the run, style notes included; -x follows the files
# that a script sources.
mapfile -t shell_scripts < <(find scripts tests -name '*.sh' | sort)
shellcheck -x "${shell_scripts[@]}"
echo "== clang-format"
# The C and C++ sources follow .clang-format; a file laid out otherwise
# fails the run (clang-format-14 -i lays it out).
mapfile -t sources < <(find abi acquisition analysis app benchmarks components config display platform \
  recording resources scripts tests tools ui -name '*.cpp' -o -name '*.h' -o -name '*.c' | sort)
clang-format-14 --dry-run --Werror "${sources[@]}"
# Before the builds, so that the 32-bit build is configured with its Wine.
wow64_start=$SECONDS
wow64_status=0
wow64=$(scripts/setup-wow64.sh) || wow64_status=$?
wow64_setup=$((SECONDS - wow64_start))
case "$wow64_status" in
  0|3|4) ;;
  *) echo "setting up the WoW64 Wine failed" >&2; exit 1 ;;
esac
scripts/build.sh native asan win64 win32

echo "== native tests"
ctest --test-dir build/native --output-on-failure -j "$(nproc)"
echo "== native tests with sanitizers"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build/asan --output-on-failure -j "$(nproc)"
echo "== fuzzing, 20 s per target"
scripts/fuzz.sh 20

echo "== Windows tests under Wine"
# shellcheck source-path=SCRIPTDIR source=wine.sh
. scripts/wine.sh
qv_wine_env "$top/build/win64"
trap qv_stop EXIT
qv_start_xvfb
qv_wine_start
qv_register "$top/build/win64/bin"
ctest --test-dir build/win64 --output-on-failure --timeout 300
qv_stop

case "$wow64_status" in
  0)
    echo "== 32-bit Windows tests under the WoW64 Wine ($wow64)"
    start=$SECONDS
    qv_wine_env "$top/build/win32" "$wow64"
    qv_start_xvfb
    qv_wine_start
    qv_register "$top/build/win32/bin"
    ctest --test-dir build/win32 --output-on-failure --timeout 300
    echo "== 32-bit Windows tests: set-up ${wow64_setup} s, prefix and tests $((SECONDS - start)) s"
    ;;
  3) echo "== 32-bit Windows tests skipped: no WoW64 Wine (put ../shared/tools/wine-wow64-10.tar.xz beside the checkout, or run scripts/setup-wow64.sh --build once, 35-45 min)" ;;
  4) echo "== 32-bit Windows tests skipped: this machine does not run 32-bit code (scripts/setup-wow64.sh says why); run the test command on one that does" ;;
esac
echo "== all tests passed"
