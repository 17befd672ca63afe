#!/usr/bin/env bash
# Builds the Windows editions: build/win32/ (32-bit, for Windows 95 to XP)
# and build/win64/ (64-bit, for x64 Windows), installing the cross compilers
# first when they are missing.
#
# Usage: scripts/build.sh [win32] [win64]    (both by default)
set -euo pipefail
cd "$(dirname "$0")/.."
editions=("$@")
[ $# -eq 0 ] && editions=(win32 win64)
for edition in "${editions[@]}"; do
  case $edition in win32|win64) ;; *) echo "build.sh: unknown edition '$edition'" >&2; exit 2 ;; esac
done
scripts/deps.sh "${editions[@]}"
for edition in "${editions[@]}"; do
  cmake --preset "$edition" >/dev/null
  cmake --build --preset "$edition"
done
echo
for edition in "${editions[@]}"; do echo "Built $(pwd)/build/$edition/setup.exe"; done
