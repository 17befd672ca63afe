#!/usr/bin/env bash
# Runs every test: the unit tests on the simulated machine, once plainly and
# once with AddressSanitizer and UndefinedBehaviorSanitizer, and the Windows
# build with its import check. Installs what it needs first.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh native win32

status=0
for preset in native native-asan; do
  echo "=== $preset ==="
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset" -j2 || status=1
done

echo "=== win32 ==="
cmake --preset win32 >/dev/null
cmake --build --preset win32
scripts/check-imports.sh build/win32/setup.exe || status=1
exit $status
