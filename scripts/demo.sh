#!/usr/bin/env bash
# From a fresh Debian 12 machine to a PDF printed through Tavrin: installs
# what is missing, builds the Windows programs and the edition's installer
# package, installs the product with it silently (msiexec /qn, which runs
# setup.exe) in a new Wine prefix, prints a sample document to the printer
# "TAVRIN" as an application would, and leaves the PDF that the product's own
# Ghostscript for Windows (scripts/build-ghostscript.sh, run in the prefix by
# the port monitor) made of it; the host's gs plays no part and need not be
# installed:
#
#   build/demo/sample.pdf        the PDF the port monitor made
#   build/demo/sample-page1.png  its first page at 60 dpi
#
# The prefix is the 32-bit edition's Windows XP where this host can run
# 32-bit x86 programs, otherwise the 64-bit edition's Windows 10
# (scripts/host-runs-i386.sh decides; TAVRIN_HOST_RUNS_I386=0 forces the
# latter). The demo says which it used.
#
# Usage: scripts/demo.sh    (as root, or with sudo for the packages)
set -euo pipefail
TOP=$(cd "$(dirname "$0")/.." && pwd)
DEMO="$TOP/build/demo"
DOCUMENT="Tavrin sample document"
PAGES=3

step() { printf '\n== %s\n' "$*"; }
die() { printf '\ndemo: %s\n' "$*" >&2; exit 1; }

step "Packages (compilers, Wine, the sources' tools, PDF tools)"
"$TOP/scripts/deps.sh" native win32 win64 wine pdf dist

if why=$("$TOP/scripts/host-runs-i386.sh"); then
  EDITION=win32 VERSION=winxp WHAT="the 32-bit edition on Windows XP (a 32-bit Wine prefix)"
else
  EDITION=win64 VERSION=win10 WHAT="the 64-bit edition on Windows 10 (a 64-bit Wine prefix)"
  echo "$why: the demo uses the 64-bit edition"
fi

step "Windows build of the $EDITION edition (setup.exe, the port monitor, the test tools)"
cd "$TOP"
cmake --preset "$EDITION" >/dev/null
cmake --build --preset "$EDITION"

step "Ghostscript for Windows, $EDITION (from Debian's source; reused once built)"
"$TOP/scripts/build-ghostscript.sh" "$EDITION"

step "The installer package of the $EDITION edition (scripts/dist.sh)"
rm -rf "$DEMO"
"$TOP/scripts/dist.sh" --out "$DEMO/dist" "$EDITION"
ARCH=$([ "$EDITION" = win64 ] && echo x64 || echo x86)
MSI=$(ls "$DEMO"/dist/tavrin-*-"$ARCH".msi)

step "A fresh Wine prefix: $WHAT"
source "$TOP/tests/wine/lib.sh"
# lib.sh's prefixes and cases, kept under build/demo.
WORK="$DEMO"
new_case demo "$VERSION"
# The package brings the product's tree and "Path": none of new_case's.
rm -rf "$C/tavrin"
wine reg delete 'HKLM\Software\Tavrin' /f >/dev/null 2>&1 || true
echo "prefix: $WINEPREFIX"

step "Silent install: msiexec /i $(basename "$MSI") /qn (message boxes recorded)"
source "$TOP/tests/wine/msilib.sh"
cp "$MSI" "$C/tavrin.msi"
default_root
run_msiexec /i 'C:\tavrin.msi' /qn
[ "$MSI_STATUS" -eq 0 ] || die "msiexec failed with $MSI_STATUS (its log: $MSI_LOG)"
[ "$(reg_text 'HKLM\Software\Tavrin' Path)" = "$ROOT" ] ||
  die "the package recorded no install root $ROOT in HKLM\\Software\\Tavrin (log: $MSI_LOG)"
echo "installed into $ROOT (\"Path\"); msiexec's log: $MSI_LOG"
if [ -s "$BOXES" ]; then
  echo "message boxes:"
  sed 's/^/  /' "$BOXES"
else
  echo "no message box was shown"
fi
echo "setup log (setup.exe, run by the package):"
sed 's/^/  /' "$LOG"

source "$TOP/tests/wine/printlib.sh"
OUTPUT_BASE() { echo "$ROOT_UNIX/tavrin/output"; }
GSWIN="$ROOT_UNIX/tavrin/res/convert/gswin32c.exe"
[ "$(head -c 2 "$GSWIN" 2>/dev/null)" = MZ ] || die "the installed $GSWIN is no Windows program"
echo "Ghostscript in the product: ${ROOT}tavrin\\res\\convert\\gswin32c.exe, Ghostscript $(wine "${ROOT}tavrin\\res\\convert\\gswin32c.exe" --version 2>/dev/null | tr -d '\r') for Windows ($(file -b "$GSWIN" | cut -d, -f1))"
if command -v gs >/dev/null 2>&1; then
  echo "the host's $(command -v gs) is not used: the port runs the Windows program above"
else
  echo "the host has no gs on PATH: the port runs the Windows program above"
fi

step "Wine workaround: \"Datatype\"=\"RAW\" on the printer (docs/WINE.md)"
# Wine created the printer's key without a data type and refused the record
# with 87 ("AddPrinter: 87" above); until the value is there the printer
# cannot be opened.
enable_printer || die "the printer TAVRIN was not created (see $LOG and $CASE/msi.log)"
echo "added to HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\TAVRIN"

step "Printing \"$DOCUMENT\" ($PAGES pages) to TAVRIN"
print_job "$DOCUMENT" --pages "$PAGES"
[ "$JOB_STATUS" -eq 0 ] || die "printdoc.exe failed ($JOB_STATUS): $(cat "$JOB_OUT")"
echo "the job went through the spooler to the port TAVRINPORT"

WHERE="${ROOT}tavrin\\output${OUTPUT_USER:+\\$OUTPUT_USER}"
step "Waiting for $WHERE\\*.pdf"
if ! wait_for_pdfs 1 120; then
  ls -la "$(OUTPUT_DIR)" 2>/dev/null | sed 's/^/  /' || echo "  (no folder $WHERE)"
  die "no PDF in $WHERE within 120 s: the port monitor (tavmon.dll) did not turn the job into a PDF. Its job path in src/monitor/ writes C:\\tavrin\\output\\<user>\\<document name>.pdf through Ghostscript; with it missing or failing the job ends here. Prefix kept: $WINEPREFIX"
fi
PDF="$(OUTPUT_DIR)/$(new_outputs .pdf | head -1)"
cp "$PDF" "$DEMO/sample.pdf"
GOT_PAGES=$(pdfinfo "$DEMO/sample.pdf" | awk '/^Pages:/ {print $2}')
pdftotext "$DEMO/sample.pdf" "$DEMO/sample.txt"
if [ "$GOT_PAGES" != "$PAGES" ] || ! grep -qxF "$DOCUMENT" "$DEMO/sample.txt"; then
  die "the PDF $DEMO/sample.pdf has $GOT_PAGES page(s) and lacks the document's text (expected $PAGES pages titled \"$DOCUMENT\"): the port monitor made a PDF without the job's PostScript reaching Ghostscript. Its log: set \"LogFileUse\"=1 in the port record. Prefix kept: $WINEPREFIX"
fi
pdffonts "$DEMO/sample.pdf" >"$DEMO/sample-fonts.txt"
sed 's/^/  /' "$DEMO/sample-fonts.txt"
# Every font of the PDF embedded (the "emb" column).
awk 'NR > 2 && $(NF - 4) != "yes" {bad = 1} END {exit bad || NR < 3}' "$DEMO/sample-fonts.txt" ||
  die "the PDF $DEMO/sample.pdf has a font that is not embedded (above)"
PRODUCER=$(pdfinfo "$DEMO/sample.pdf" | sed -n 's/^Producer: *//p')
pdftoppm -png -r 60 -f 1 -l 1 -singlefile "$DEMO/sample.pdf" "$DEMO/sample-page1"
[ -s "$DEMO/sample-page1.png" ] || die "pdftoppm made no picture of page 1"

step "Done with $WHAT"
echo "PDF made by the printer:  $DEMO/sample.pdf ($GOT_PAGES pages, in the prefix $WHERE\\$(basename "$PDF"))"
echo "made by:                 $PRODUCER, the Windows gswin32c.exe run by the port monitor; fonts embedded"
echo "its first page (60 dpi):  $DEMO/sample-page1.png"
