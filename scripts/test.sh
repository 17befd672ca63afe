#!/usr/bin/env bash
# Runs every test: the unit tests on the simulated machine, once plainly and
# once with AddressSanitizer and UndefinedBehaviorSanitizer; the libFuzzer
# targets (scripts/fuzz.sh), a minute each; both Windows builds (32-bit and
# 64-bit) and both Ghostscripts for Windows (scripts/build-ghostscript.sh)
# with their import checks; and the Wine suite, whose conversions all run
# through those Ghostscripts,
# which runs the 64-bit edition on Wine posing as Windows XP x64 and 10 and,
# where this host can run 32-bit x86 programs, the 32-bit edition posing as
# Windows 98, NT 4.0, 2000 and XP and in a 64-bit prefix (WOW64). Where it
# cannot, those cases are reported as not run, and the last line says why.
# Installs what it needs first.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh native win32 win64 wine print ghostscript fuzz dist

status=0
for preset in native native-asan; do
  echo "=== $preset ==="
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset" -j2 || status=1
done

# The libFuzzer targets, a minute each from their seed corpus.
echo "=== fuzz ==="
scripts/fuzz.sh 60 || status=1

# The Windows builds are cross compiles: both run on any host.
echo "=== win32 ==="
cmake --preset win32 >/dev/null
cmake --build --preset win32
scripts/check-imports.sh build/win32/setup.exe build/win32/tavmon.dll build/win32/tavmona.dll \
  build/win32/tavmon95.dll build/win32/tavmona95.dll || status=1

echo "=== win64 ==="
cmake --preset win64 >/dev/null
cmake --build --preset win64
scripts/check-imports.sh build/win64/setup.exe build/win64/tavmon.dll build/win64/tavmona.dll || status=1
for lib in tavmon95.dll tavmona95.dll; do
  if [ -e "build/win64/$lib" ]; then
    echo "build/win64 holds $lib: the 64-bit edition has no 9x libraries" >&2
    status=1
  fi
done

# Ghostscript for Windows, one per edition, from Debian's source (reused
# while its inputs are unchanged).
echo "=== ghostscript ==="
scripts/build-ghostscript.sh win32 win64 || status=1
scripts/check-imports.sh build/ghostscript/win32/gswin32c.exe build/ghostscript/win64/gswin32c.exe || status=1

echo "=== wine ==="
ctest --preset wine -j2 || status=1

# The cases CTest reported as not run, and the reason they gave.
log=build/native/Testing/Temporary/LastTest.log
skipped=$(grep -c '^SKIP: ' "$log" 2>/dev/null || true)
if [ "${skipped:-0}" -gt 0 ]; then
  reasons=$(grep -h '^SKIP: ' "$log" | sed 's/^SKIP: [^:]*: //' | sort -u | paste -sd ';' -)
  echo
  echo "Not run: $skipped Wine case(s) of the 32-bit edition (98, NT 4.0, 2000, XP, WOW64): $reasons"
fi
exit $status
