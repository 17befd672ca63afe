#!/usr/bin/env bash
# Runs montest.exe against the port monitor in a fresh 32-bit Wine prefix.
#
#   tools/montest/run-wine.sh [VERSION [PREFIX]]
#
# VERSION is a winecfg version (winxp by default; win98 checks tavmon95.dll
# with the "Windows 4.0" environment). PREFIX (default /tmp/mon-test-VERSION)
# is deleted and made afresh. Wine's PostScript driver is copied into the
# prefix's printer-driver directory as montest.drv, so that the check can
# add a driver and print. The product is staged to C:\tavrin
# (scripts/stage-product.sh: Ghostscript is a stand-in running the host's gs)
# so that the port gets the record the setup writes and PostScript jobs
# become PDF files in C:\tavrin\output; the PDF of known text is checked
# with pdftotext here. Needs build/win32 built (cmake --build --preset
# win32), or the folder MONTEST_BUILD names. The exit code is 0 when every
# check passed.
#
# In the 9x versions Wine looks for the print processor in
# spool\prtprocs\win40, which a new prefix lacks (EndDocPrinter then fails
# with 1157); the script copies Wine's winprint.dll there unless
# MONTEST_PLAIN_PREFIX=1 is set.
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${MONTEST_BUILD:-build/win32}

version=${1:-winxp}
export WINEPREFIX=${2:-/tmp/mon-test-$version}
export WINEARCH=win32
export WINEDEBUG=${WINEDEBUG:--all}
wineps=/usr/lib/i386-linux-gnu/wine/i386-windows/wineps.drv

case $version in
  win95|win98|winme)
    environment="Windows 4.0" library=tavmon95.dll ui_library=tavmona95.dll subdir=win40 ;;
  *) environment="Windows NT x86" library=tavmon.dll ui_library=tavmona.dll subdir=w32x86 ;;
esac

for file in "$build/montest.exe" "$build/$library" "$build/$ui_library"; do
  [ -f "$file" ] || { echo "missing $file: build the win32 preset first" >&2; exit 2; }
done

rm -rf "$WINEPREFIX"
# Wine makes the prefix's own folder, not its parents.
mkdir -p "$(dirname "$WINEPREFIX")"
wineboot -i >/dev/null 2>&1
[ "$version" = winxp ] || wine winecfg -v "$version" >/dev/null 2>&1
system32="$WINEPREFIX/drive_c/windows/system32"
cp "$build/$library" "$build/$ui_library" "$system32/"
mkdir -p "$system32/spool/drivers/$subdir"
cp "$wineps" "$system32/spool/drivers/$subdir/montest.drv"
if [ "$subdir" = win40 ] && [ "${MONTEST_PLAIN_PREFIX:-0}" != 1 ]; then
  mkdir -p "$system32/spool/prtprocs/win40"
  cp "$system32/spool/prtprocs/w32x86/winprint.dll" "$system32/spool/prtprocs/win40/"
  echo "note: copied winprint.dll to spool\prtprocs\win40"
fi

TAVRIN_WIN32_DIR="$build" scripts/stage-product.sh "$WINEPREFIX/drive_c" >/dev/null

status=0
trace="$WINEPREFIX/montest.out"
wine "$build/montest.exe" "$environment" "$library" montest.drv 'C:\tavrin' | tee "$trace" ||
  status=$?
wineserver -w

# The PDF of known text, read back from the outside.
expected=$(sed -n 's/^#define MONTEST_PDF_TEXT "\(.*\)"$/\1/p' tools/montest/montest.h)
pdf=$(sed -n 's/^PDF //p' "$trace" | tr -d '\r' | head -n 1)
if [ -z "$pdf" ]; then
  echo "FAIL pdftotext: no PDF to read"
  status=1
else
  unix_pdf="$WINEPREFIX/drive_c/${pdf#?:\\}"
  unix_pdf=${unix_pdf//\\//}
  if pdftotext "$unix_pdf" - 2>/dev/null | grep -qF "$expected"; then
    echo "PASS pdftotext: \"$expected\" in $unix_pdf"
  else
    echo "FAIL pdftotext: \"$expected\" not in $unix_pdf"
    status=1
  fi
fi
exit $status
