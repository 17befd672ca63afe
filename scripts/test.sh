#!/usr/bin/env bash
# Runs every test: the unit tests on the simulated machine, once plainly and
# once with AddressSanitizer and UndefinedBehaviorSanitizer; the Windows
# build with its import check; and the Wine suite, which runs the Windows
# build on Wine posing as Windows 98, NT 4.0, 2000 and XP. Installs what it
# needs first.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh native win32 wine print

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
scripts/check-imports.sh build/win32/setup.exe build/win32/tavmon.dll build/win32/tavmona.dll \
  build/win32/tavmon95.dll build/win32/tavmona95.dll || status=1

echo "=== wine ==="
ctest --preset wine -j2 || status=1
exit $status
