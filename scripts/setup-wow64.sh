#!/usr/bin/env bash
# Puts a Wine that runs 32-bit Windows programs (Wine 10 built in its "new
# WoW64" mode: 32-bit Windows code inside a 64-bit Linux process) into one
# folder of the machine, outside every checkout, so that every clone and CI on
# the machine share it. Neither the system's Wine nor any system package is
# changed (only --build installs build dependencies).
#
# Usage: scripts/setup-wow64.sh [--find | --build]
#   (none)   reuse the folder when it is there; otherwise unpack the prebuilt
#            archive from ../shared/tools/ (about a minute); without the
#            archive, say so and exit with 3
#   --find   only print the folder when it is there; exit 3 when it is not
#   --build  like (none), but without the archive build Wine from Debian 13's
#            source (scripts/build-wow64-wine.sh, 35-45 minutes on 2 cores)
# On success the folder is the one line on standard output; its bin/wine
# runs 32-bit and 64-bit Windows programs. Messages go to standard error.
# Exit codes: 0 ready; 3 no WoW64 Wine without building one; 4 this machine
# does not run 32-bit code at all (its kernel or virtual machine refuses the
# 32-bit code segment or system calls), so no 32-bit Windows program can run
# here, and nothing is set up; 1 anything else failed. --find only looks for
# the folder.
#
# Environment:
#   QUORVEL_WOW64_DIR      the folder (default /opt/quorvel/wine-wow64-10)
#   QUORVEL_WOW64_ARCHIVE  the prebuilt archive
#                          (default ../shared/tools/wine-wow64-10.tar.xz beside
#                          the checkout)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)

dir=${QUORVEL_WOW64_DIR:-/opt/quorvel/wine-wow64-10}
archive=${QUORVEL_WOW64_ARCHIVE:-$(dirname "$top")/shared/tools/wine-wow64-10.tar.xz}
# The archive holds the folder wine-wow64-10/; its checksum as published.
archive_sha256=38e402c784d50ac8849720b76b53004c8c164a85c418e308cb326fae5b4b02e7
archive_folder=wine-wow64-10
stamp=.quorvel-wow64     # written last into a complete folder

mode=${1:-setup}
case "$mode" in
  setup|--find|--build) ;;
  *) echo "usage: $0 [--find | --build]" >&2; exit 2 ;;
esac

say() { echo "setup-wow64: $*" >&2; }

complete() { [ -f "$1/$stamp" ] && [ -x "$1/bin/wine" ] && [ -x "$1/bin/wineserver" ]; }

# Exits with 4 when this machine cannot run 32-bit code at all
# (scripts/compat32-check.c tries what Wine needs), before anything is
# unpacked or built for nothing.
check_machine() {
  local check reason
  check=$(mktemp -d)
  if ! cc -O2 -o "$check/compat32-check" "$top/scripts/compat32-check.c"; then
    rm -rf "$check"
    say "cannot build scripts/compat32-check.c"
    exit 1
  fi
  reason=$("$check/compat32-check") || {
    rm -rf "$check"
    say "this machine does not run 32-bit code: $reason"
    exit 4
  }
  rm -rf "$check"
}

[ "$mode" = --find ] || check_machine

if complete "$dir"; then
  echo "$dir"
  exit 0
fi
[ "$mode" = --find ] && exit 3

if [ ! -f "$archive" ] && [ "$mode" != --build ]; then
  say "no WoW64 Wine in $dir and no archive at $archive"
  exit 3
fi

# The folder's parent, made writable for this user once.
parent=$(dirname "$dir")
if ! mkdir -p "$parent" 2>/dev/null || [ ! -w "$parent" ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo install -d -m 0755 -o "$(id -u)" -g "$(id -g)" "$parent"
fi

# One set-up at a time: a second clone or CI job waits here and then finds the
# folder complete.
exec 9>"$parent/.$(basename "$dir").lock"
flock 9
if complete "$dir"; then
  echo "$dir"
  exit 0
fi
# A folder without the stamp is what an interrupted attempt left.
if [ -e "$dir" ]; then
  say "removing the incomplete $dir"
  rm -rf "$dir"
fi

# Everything is made in a temporary folder beside the final one and renamed
# into place when complete, so the folder is either whole or absent.
staging=$(mktemp -d "$parent/.$(basename "$dir").XXXXXX")
trap 'rm -rf "$staging"' EXIT
start=$SECONDS

if [ -f "$archive" ]; then
  say "checking $archive"
  echo "$archive_sha256  $archive" | sha256sum --check --status ||
    { say "$archive: wrong sha256 (want $archive_sha256)"; exit 1; }
  say "unpacking into $dir"
  tar -C "$staging" -xJf "$archive"
  made=$staging/$archive_folder
  what="unpacked from $archive ($archive_sha256)"
else
  # Built for its final place and installed into the staging folder.
  work=${QUORVEL_WOW64_WORK:-$parent/wine-wow64-build}
  say "building Wine in $work (35-45 minutes on 2 cores)"
  DESTDIR=$staging WORK=$work "$top/scripts/build-wow64-wine.sh" "$dir" >&2
  made=$staging$dir
  what="built from source by scripts/build-wow64-wine.sh"
fi

complete_but_stamp() { [ -x "$1/bin/wine" ] && [ -x "$1/bin/wineserver" ]; }
complete_but_stamp "$made" || { say "no bin/wine and bin/wineserver in what was made"; exit 1; }
version=$("$made/bin/wine" --version 2>/dev/null) || { say "$made/bin/wine does not run"; exit 1; }
printf '%s\n%s\n' "$version" "$what" > "$made/$stamp"
mv -T "$made" "$dir"
say "$version ready in $dir ($((SECONDS - start)) s)"
echo "$dir"
