#!/usr/bin/env bash
# Runs montest.exe against the port monitor in a fresh Wine prefix.
#
#   tools/montest/run-wine.sh [VERSION [PREFIX]]
#
# VERSION is a winecfg version (winxp by default; win98 checks tavmon95.dll
# with the "Windows 4.0" environment). The 32-bit versions (win98 to winxp)
# check build/win32's libraries in a 32-bit prefix with "Windows NT x86";
# winxp64 and win10 check build/win64's in a 64-bit prefix with
# "Windows x64", and their driver folder is x64. Where the host cannot run
# 32-bit x86 programs a 32-bit version is skipped (exit code 77, one line
# saying why). PREFIX (default /tmp/mon-test-VERSION)
# is deleted and made afresh. Wine's PostScript driver is copied into the
# prefix's printer-driver directory as montest.drv, so that the check can
# add a driver and print. The product is staged to C:\tavrin
# (scripts/stage-product.sh, with the product's Ghostscript for Windows)
# so that the port gets the record the setup writes and PostScript jobs
# become PDF files in C:\tavrin\output; the PDF of known text is checked
# with pdftotext here. Needs the version's edition built (cmake --build
# --preset win32 or win64), or the folder MONTEST_BUILD names. The exit
# code is 0 when every check passed.
#
# In the 9x versions Wine looks for the print processor in
# spool\prtprocs\win40, which a new prefix lacks (EndDocPrinter then fails
# with 1157); the script copies Wine's winprint.dll there unless
# MONTEST_PLAIN_PREFIX=1 is set.
set -euo pipefail
cd "$(dirname "$0")/../.."
TOP=$(pwd)
source tests/wine/editions.sh

version=${1:-winxp}
use_wine_for "$version"
[ "$PREFIX_ARCH" = win32 ] && skip_unless_i386 "monitor $version"
build=${MONTEST_BUILD:-build/$PREFIX_ARCH}
export WINEPREFIX=${2:-/tmp/mon-test-$version}
export WINEDEBUG=${WINEDEBUG:--all}
wineps=$(wineps_of "$PREFIX_ARCH")

case $version in
  win95|win98|winme)
    environment="Windows 4.0" library=tavmon95.dll ui_library=tavmona95.dll subdir=win40 ;;
  *)
    environment=$(spooler_environment_of "$PREFIX_ARCH") library=tavmon.dll ui_library=tavmona.dll
    subdir=$(driver_folder_of "$PREFIX_ARCH") ;;
esac

for file in "$build/montest.exe" "$build/$library" "$build/$ui_library"; do
  [ -f "$file" ] || { echo "missing $file: build the $PREFIX_ARCH preset first" >&2; exit 2; }
done

rm -rf "$WINEPREFIX"
# Wine makes the prefix's own folder, not its parents.
mkdir -p "$(dirname "$WINEPREFIX")"
wineboot -i >/dev/null 2>&1 || { echo "wineboot made no $WINEARCH prefix in $WINEPREFIX" >&2; exit 2; }
if [ "$version" != winxp ]; then
  wine winecfg -v "$version" >/dev/null 2>&1 ||
    { echo "winecfg refused the version $version in a $WINEARCH prefix" >&2; exit 2; }
fi
system32="$WINEPREFIX/drive_c/windows/system32"
cp "$build/$library" "$build/$ui_library" "$system32/"
mkdir -p "$system32/spool/drivers/$subdir"
cp "$wineps" "$system32/spool/drivers/$subdir/montest.drv"
if [ "$subdir" = win40 ] && [ "${MONTEST_PLAIN_PREFIX:-0}" != 1 ]; then
  mkdir -p "$system32/spool/prtprocs/win40"
  cp "$system32/spool/prtprocs/w32x86/winprint.dll" "$system32/spool/prtprocs/win40/"
  echo "note: copied winprint.dll to spool\prtprocs\win40"
fi

TAVRIN_WIN32_DIR="$build" TAVRIN_WIN64_DIR="$build" \
  scripts/stage-product.sh --edition "$PREFIX_ARCH" "$WINEPREFIX/drive_c" >/dev/null

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
