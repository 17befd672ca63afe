#!/usr/bin/env bash
# Lays out OUTDIR/tavrin/ as the outer installer unpacks the product: the
# setup program, the product's own files from product/, the data files made by
# make_product_data.py, the port-monitor libraries of one edition, Ghostscript
# for Windows with its fonts, and the files of the system's PostScript driver.
#
# Usage: scripts/stage-product.sh [--edition win32|win64] OUTDIR [SYSTEM_FILES_DIR]
#
# The edition (win32 by default) is the Windows build the tree is for:
# win32 takes setup.exe and the four monitor libraries (NT and 9x) from
# build/win32/ (or the folder TAVRIN_WIN32_DIR names), win64 takes setup.exe
# and the NT family's two from build/win64/ (or TAVRIN_WIN64_DIR).
#
# Ghostscript is the edition's own build by scripts/build-ghostscript.sh
# (build/ghostscript/<edition>/gswin32c.exe, or the folder TAVRIN_GS_DIR
# names), staged as res/convert/gswin32c.exe with the URW base-35 fonts and
# their Fontmap in res/convert/fonts/, where the response file's "-Ifonts"
# points (the port runs the program in its own folder).
#
# SYSTEM_FILES_DIR holds the PostScript driver's files, which are not ours,
# under these names: Pscript.dll Tavrinui.dll pscript5.dll ps5ui.dll
# tavrinui5.DLL Pscript.hlp pscript.ntf. Without it the script makes
# stand-ins for Wine: Wine's own PostScript driver of the edition's machine
# under every driver library name, and placeholder texts for the help and
# font files.
#
# The tree is built beside OUTDIR/tavrin and then put in its place, so a
# failed run leaves an earlier tree untouched and a repeated run gives the
# same tree.
set -euo pipefail

repo="$(cd "$(dirname "$0")/.." && pwd)"
product="$repo/product"

die() { echo "stage-product: $*" >&2; exit 1; }
usage="usage: scripts/stage-product.sh [--edition win32|win64] OUTDIR [SYSTEM_FILES_DIR]"

edition=win32
if [ "${1:-}" = --edition ]; then
  [ $# -ge 2 ] || die "$usage"
  edition=$2
  shift 2
fi
# The edition's Windows build (the variable keeps the Win32 API's name for
# both), its monitor libraries and Wine's PostScript driver of its machine.
case $edition in
  win32)
    win32="${TAVRIN_WIN32_DIR:-$repo/build/win32}"
    gsdir="${TAVRIN_GS_DIR:-$repo/build/ghostscript/win32}"
    wineps=/usr/lib/i386-linux-gnu/wine/i386-windows/wineps.drv
    wine_package=wine32
    monitor_libraries=(tavmon.dll tavmona.dll tavmon95.dll tavmona95.dll) ;;
  win64)
    win32="${TAVRIN_WIN64_DIR:-$repo/build/win64}"
    gsdir="${TAVRIN_GS_DIR:-$repo/build/ghostscript/win64}"
    wineps=/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/wineps.drv
    wine_package=wine64
    monitor_libraries=(tavmon.dll tavmona.dll) ;;
  *) die "unknown edition '$edition' ($usage)" ;;
esac
driver_libraries=(Pscript.dll Tavrinui.dll pscript5.dll ps5ui.dll tavrinui5.DLL)
system_files=("${driver_libraries[@]}" Pscript.hlp pscript.ntf)
fontdir="${TAVRIN_GS_FONTS:-$repo/build/ghostscript/fonts}"
# Product text files: path under product/ = path under tavrin/.
text_files=(
  readme.html
  res/tavrin.ini
  res/pdfwrite.rsp
  res/utilities/readme.html
  res/drivedir/gs.PPD
  res/drivedir/tavrinps5.PPD
  res/drivedir/tavdriver.SPD
  res/drivedir/tavrin.INI
  res/drivedir/download.htm
  res/drivedir/rpcinaccessible.tmp
)

[ $# -ge 1 ] && [ $# -le 2 ] || die "$usage"
outdir="$1"
sysdir="${2:-}"

# Everything that must exist, checked before anything is written.
[ -f "$win32/setup.exe" ] || die "missing $win32/setup.exe: build it with scripts/build.sh $edition"
missing=()
for lib in "${monitor_libraries[@]}"; do
  [ -f "$win32/$lib" ] || missing+=("$lib")
done
[ ${#missing[@]} -eq 0 ] ||
  die "missing port-monitor libraries in $win32: ${missing[*]} (they come from the monitor's Windows build)"
[ -f "$gsdir/gswin32c.exe" ] ||
  die "missing $gsdir/gswin32c.exe: build it with scripts/build-ghostscript.sh $edition"
[ -f "$fontdir/Fontmap" ] && ls "$fontdir"/*.t1 >/dev/null 2>&1 ||
  die "missing the fonts in $fontdir: build them with scripts/build-ghostscript.sh $edition"
for f in "${text_files[@]}"; do
  [ -f "$product/$f" ] || die "missing product file $product/$f"
done
if [ -n "$sysdir" ]; then
  [ -d "$sysdir" ] || die "SYSTEM_FILES_DIR $sysdir is not a folder"
  for f in "${system_files[@]}"; do
    [ -f "$sysdir/$f" ] || die "missing $sysdir/$f"
  done
else
  [ -f "$wineps" ] || die "missing $wineps: install $wine_package, or give SYSTEM_FILES_DIR"
fi

mkdir -p "$outdir"
outdir="$(cd "$outdir" && pwd)"
final="$outdir/tavrin"
stage="$outdir/.tavrin.staging.$$"
trap 'rm -rf "$stage"' EXIT
rm -rf "$stage"
mkdir -p "$stage/res/convert/fonts" "$stage/res/utilities" "$stage/res/drivedir"

# Copies a text file with CR LF line ends, as the files ship for Windows.
copy_text() { sed -e 's/\r$//' -e 's/$/\r/' "$1" > "$2"; chmod 644 "$2"; }
# Copies a file byte for byte.
copy_binary() { cp "$1" "$2"; chmod 644 "$2"; }

cp "$win32/setup.exe" "$stage/setup.exe"
for f in "${text_files[@]}"; do copy_text "$product/$f" "$stage/$f"; done
for lib in "${monitor_libraries[@]}"; do copy_binary "$win32/$lib" "$stage/res/drivedir/$lib"; done
python3 "$repo/scripts/make_product_data.py" "$stage/res/drivedir" > /dev/null
copy_binary "$gsdir/gswin32c.exe" "$stage/res/convert/gswin32c.exe"
chmod 755 "$stage/res/convert/gswin32c.exe"
for f in "$fontdir"/*; do copy_binary "$f" "$stage/res/convert/fonts/$(basename "$f")"; done

if [ -n "$sysdir" ]; then
  for f in "${driver_libraries[@]}" Pscript.hlp pscript.ntf; do
    copy_binary "$sysdir/$f" "$stage/res/drivedir/$f"
  done
  system_source="$sysdir"
else
  for f in "${driver_libraries[@]}"; do copy_binary "$wineps" "$stage/res/drivedir/$f"; done
  printf 'Placeholder for the help file of the PostScript driver (staged for Wine).\r\n' \
    > "$stage/res/drivedir/Pscript.hlp"
  printf 'Placeholder for the font file of the PostScript driver (staged for Wine).\r\n' \
    > "$stage/res/drivedir/pscript.ntf"
  chmod 644 "$stage/res/drivedir/Pscript.hlp" "$stage/res/drivedir/pscript.ntf"
  system_source="Wine stand-ins ($wineps)"
fi

rm -rf "$final"
mv "$stage" "$final"
trap - EXIT

echo "Staged $final ($edition edition; Ghostscript: $gsdir; driver files: $system_source):"
(cd "$final" && find . -type f | LC_ALL=C sort | while read -r f; do
  printf '  %-34s %9d bytes\n' "${f#./}" "$(stat -c %s "$f")"
done)
