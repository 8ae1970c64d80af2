#!/usr/bin/env bash
# Prints how long the plot component takes to redraw the program's plots with
# its longest curves (plot_redraw_measure.cpp says what is measured). Runs
# the 64-bit Windows build under Wine on a private Xvfb display, in the build
# folder's own Wine prefix.
#   tests/components/measure_plot_redraw.sh [build folder]   (default build/win64)
# The build folder is configured for the 64-bit Windows build if it is not yet.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
dir=$(realpath -m "${1:-$top/build/win64}")
if [ ! -f "$dir/CMakeCache.txt" ]; then
  cmake -S "$top" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_TOOLCHAIN_FILE="$top/cmake/toolchain-x86_64-w64-mingw32.cmake" >/dev/null
fi
cmake --build "$dir" -j "$(nproc)" --target plot_redraw_measure pellume

# shellcheck source-path=SCRIPTDIR source=../../scripts/wine.sh
. "$top/scripts/wine.sh"
qv_wine_env "$dir"
trap qv_stop EXIT
qv_start_xvfb
qv_wine_start
(cd "$dir/bin" && "$WINE" plot_redraw_measure.exe </dev/null)
