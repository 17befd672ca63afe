#!/usr/bin/env bash
# Lays out OUTDIR/tavrin/ as the outer installer unpacks the product: the
# setup program, the product's own files from product/, the data files made by
# make_product_data.py, the port-monitor libraries of one edition, and the
# files of the system's PostScript driver and of Ghostscript.
#
# Usage: scripts/stage-product.sh [--edition win32|win64] OUTDIR [SYSTEM_FILES_DIR]
#
# The edition (win32 by default) is the Windows build the tree is for:
# win32 takes setup.exe and the four monitor libraries (NT and 9x) from
# build/win32/ (or the folder TAVRIN_WIN32_DIR names), win64 takes setup.exe
# and the NT family's two from build/win64/ (or TAVRIN_WIN64_DIR).
#
# SYSTEM_FILES_DIR holds the files that are not ours, under these names:
# Pscript.dll Tavrinui.dll pscript5.dll ps5ui.dll tavrinui5.DLL Pscript.hlp
# pscript.ntf gswin32c.exe. Without it the script makes stand-ins for Wine:
# Wine's own PostScript driver under every driver library name, placeholder
# texts for the help and font files, and a gswin32c.exe that runs the host's
# Ghostscript, all of the edition's machine (Wine's 32-bit or 64-bit
# PostScript driver, gsrelay.exe of that build).
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
    wineps=/usr/lib/i386-linux-gnu/wine/i386-windows/wineps.drv
    wine_package=wine32
    monitor_libraries=(tavmon.dll tavmona.dll tavmon95.dll tavmona95.dll) ;;
  win64)
    win32="${TAVRIN_WIN64_DIR:-$repo/build/win64}"
    wineps=/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/wineps.drv
    wine_package=wine64
    monitor_libraries=(tavmon.dll tavmona.dll) ;;
  *) die "unknown edition '$edition' ($usage)" ;;
esac
driver_libraries=(Pscript.dll Tavrinui.dll pscript5.dll ps5ui.dll tavrinui5.DLL)
system_files=("${driver_libraries[@]}" Pscript.hlp pscript.ntf gswin32c.exe)
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
mkdir -p "$stage/res/convert" "$stage/res/utilities" "$stage/res/drivedir"

# Copies a text file with CR LF line ends, as the files ship for Windows.
copy_text() { sed -e 's/\r$//' -e 's/$/\r/' "$1" > "$2"; chmod 644 "$2"; }
# Copies a file byte for byte.
copy_binary() { cp "$1" "$2"; chmod 644 "$2"; }

# Writes the host side of the Ghostscript stand-in to FILE: a Unix script
# that runs the host's gs with the same arguments, the Windows paths of
# "@file" and "-sOutputFile=" turned into Unix paths. Wine runs a file with a
# "#!" line as a Unix program, with the arguments split by the Windows rules.
#
# Usage: write_gs_host_script FILE relay|direct
# relay: the script is run by gsrelay.exe. Its standard input and output are
# Wine's loopback sockets, which Unix programs get non-blocking, and it ends
# its output with the exit code, which gsrelay.exe cannot see otherwise.
# direct: the script is itself "Command".
write_gs_host_script() {
  {
    cat <<'EOF'
#!/bin/sh
# Runs the host's Ghostscript for Tavrin under Wine with the arguments of
# gswin32c.exe, the Windows paths of "@file" and "-sOutputFile=" turned into
# Unix paths.

# Prints the Unix path of a Windows path (C:\dir\file); other text as it is.
# The drive's link in the prefix gives it at once; winepath (a Wine process,
# so slow to start) is asked only when that path's folder does not exist,
# for instance when the case of a name differs.
unix_path() {
  case "$1" in
    [A-Za-z]:\\*|[A-Za-z]:/*)
      drive=$(printf '%s' "$1" | cut -c1 | tr 'A-Z' 'a-z')
      rest=$(printf '%s' "$1" | cut -c3- | tr '\\' '/')
      p="${WINEPREFIX:-$HOME/.wine}/dosdevices/$drive:$rest"
      if [ -d "$(dirname "$p")" ]; then
        printf '%s' "$p"
      elif p=$(winepath -u "$1" 2>/dev/null) && [ -n "$p" ]; then
        printf '%s' "$p"
      else
        printf '%s' "$1"
      fi
      ;;
    *) printf '%s' "$1" ;;
  esac
}

n=$#
while [ "$n" -gt 0 ]; do
  arg=$1
  shift
  n=$((n - 1))
  case "$arg" in
    @*) arg="@$(unix_path "${arg#@}")" ;;
    -sOutputFile=*) arg="-sOutputFile=$(unix_path "${arg#-sOutputFile=}")" ;;
  esac
  set -- "$@" "$arg"
done
EOF
    if [ "$2" = relay ]; then
      cat <<'EOF'
# Standard input and output are sockets that Wine made non-blocking; the
# flag belongs to the socket, so it is cleared here for good. Ghostscript
# reads "-" a byte at a time, which costs less from a pipe than from a
# socket: cat makes it a pipe, as gswin32c.exe has on Windows.
perl -MFcntl -e 'for my $fd (0, 1) {
  open(my $h, "+<&=", $fd) or next;
  my $flags = fcntl($h, F_GETFL, 0) or next;
  fcntl($h, F_SETFL, $flags & ~O_NONBLOCK);
}'
cat | gs "$@"
printf '\ngsrelay-exit-code %d\n' "$?"
EOF
    else
      printf 'exec gs "$@"\n'
    fi
  } > "$1"
  chmod 755 "$1"
}

cp "$win32/setup.exe" "$stage/setup.exe"
for f in "${text_files[@]}"; do copy_text "$product/$f" "$stage/$f"; done
for lib in "${monitor_libraries[@]}"; do copy_binary "$win32/$lib" "$stage/res/drivedir/$lib"; done
python3 "$repo/scripts/make_product_data.py" "$stage/res/drivedir" > /dev/null

if [ -n "$sysdir" ]; then
  for f in "${driver_libraries[@]}" Pscript.hlp pscript.ntf; do
    copy_binary "$sysdir/$f" "$stage/res/drivedir/$f"
  done
  cp "$sysdir/gswin32c.exe" "$stage/res/convert/gswin32c.exe"
  system_source="$sysdir"
else
  for f in "${driver_libraries[@]}"; do copy_binary "$wineps" "$stage/res/drivedir/$f"; done
  printf 'Placeholder for the help file of the PostScript driver (staged for Wine).\r\n' \
    > "$stage/res/drivedir/Pscript.hlp"
  printf 'Placeholder for the font file of the PostScript driver (staged for Wine).\r\n' \
    > "$stage/res/drivedir/pscript.ntf"
  chmod 644 "$stage/res/drivedir/Pscript.hlp" "$stage/res/drivedir/pscript.ntf"
  # gswin32c.exe is gsrelay.exe, a Windows program that gives the host's gs
  # the job as it arrives. TAVRIN_GS_STANDIN=script makes the Unix script
  # gswin32c.exe itself: a "Command" that is no Windows program.
  if [ "${TAVRIN_GS_STANDIN:-relay}" = script ]; then
    write_gs_host_script "$stage/res/convert/gswin32c.exe" direct
  else
    copy_binary "$win32/gsrelay.exe" "$stage/res/convert/gswin32c.exe"
    write_gs_host_script "$stage/res/convert/gswin32c.sh" relay
  fi
  system_source="Wine stand-ins ($wineps, host gs)"
fi

rm -rf "$final"
mv "$stage" "$final"
trap - EXIT

echo "Staged $final ($edition edition; system files: $system_source):"
(cd "$final" && find . -type f | LC_ALL=C sort | while read -r f; do
  printf '  %-34s %9d bytes\n' "${f#./}" "$(stat -c %s "$f")"
done)
