#!/usr/bin/env bash
# Builds build/win32/setup.exe (32-bit Windows, mingw-w64), installing the
# cross compiler first when it is missing.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh win32
cmake --preset win32 >/dev/null
cmake --build --preset win32
echo
echo "Built $(pwd)/build/win32/setup.exe"
