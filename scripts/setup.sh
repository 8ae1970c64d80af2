#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need.
# Safe to run again: when everything is present it does nothing.
set -euo pipefail

packages=(
  cmake make g++ googletest libgtest-dev libbenchmark-dev libfftw3-dev
  libcli11-dev nlohmann-json3-dev
  # quorvel-analyse reads WAV and FLAC files through libsndfile (Linux build).
  libsndfile1-dev pkg-config
  g++-mingw-w64-x86-64 g++-mingw-w64-i686
  wine64 xvfb xdotool x11-utils imagemagick
  # scripts/fuzz.sh: clang with libFuzzer, the sanitizer runtimes and the
  # symbolizer that turns their reports' addresses into lines.
  clang-14 libfuzzer-14-dev libclang-rt-14-dev llvm-14
  # scripts/test.sh checks the shell scripts and the C++ layout first.
  shellcheck clang-format-14
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
$sudo apt-get update
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
