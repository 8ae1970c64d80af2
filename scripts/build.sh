#!/usr/bin/env bash
# Configures and builds one or more of the project's builds:
#   native  Linux, the portable core and its tests
#   asan    the same with AddressSanitizer and UndefinedBehaviorSanitizer
#   win64   the Windows program, components and tests (x86_64, runs under Wine)
#   win32   the same for i686; its tests run under the WoW64 Wine of
#           scripts/setup-wow64.sh when that is installed, else built only
# Usage: scripts/build.sh [native|asan|win64|win32|all]...   (default: all)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
jobs=${JOBS:-$(nproc)}

configure_and_build() {
  local name=$1; shift
  local dir="$top/build/$name"
  cmake -S "$top" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
}

builds=("$@")
[ ${#builds[@]} -eq 0 ] && builds=(all)
for b in "${builds[@]}"; do
  case "$b" in
    native) configure_and_build native ;;
    asan)   configure_and_build asan -DQUORVEL_SANITIZE=ON ;;
    win64)  configure_and_build win64 -DCMAKE_TOOLCHAIN_FILE="$top/cmake/toolchain-x86_64-w64-mingw32.cmake" ;;
    win32)
      # An empty emulator clears one that a removed Wine left in the cache.
      wow64=$("$top/scripts/setup-wow64.sh" --find) && emulator=$wow64/bin/wine || emulator=
      configure_and_build win32 -DCMAKE_TOOLCHAIN_FILE="$top/cmake/toolchain-i686-w64-mingw32.cmake" \
        -DCMAKE_CROSSCOMPILING_EMULATOR="$emulator" ;;
    all)    "$0" native asan win64 win32 ;;
    *) echo "unknown build: $b" >&2; exit 2 ;;
  esac
done
