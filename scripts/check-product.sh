#!/usr/bin/env bash
# Checks a tree made by scripts/stage-product.sh: every file the setup
# program reads or copies is there, the default device modes and driver data
# records read back, the Ostrel readme carries a version the setup accepts,
# and, when gs is installed, Ghostscript turns a PostScript job into a PDF
# with the staged response file.
#
# Usage: scripts/check-product.sh [--edition win32|win64] OUTDIR
# (OUTDIR holds tavrin/; the edition is the one it was staged for, win32 by
# default: the 64-bit edition has no 9x monitor libraries.)
set -euo pipefail

edition=win32
if [ "${1:-}" = --edition ] && [ $# -ge 2 ]; then edition=$2; shift 2; fi
case $edition in win32|win64) ;; *) echo "check-product: unknown edition '$edition'" >&2; exit 2 ;; esac
[ $# -eq 1 ] || { echo "usage: scripts/check-product.sh [--edition win32|win64] OUTDIR" >&2; exit 2; }
root="$1/tavrin"
[ -d "$root" ] || { echo "check-product: no folder $root" >&2; exit 1; }

passed=0
failed=0
pass() { passed=$((passed + 1)); }
fail() { echo "FAIL: $*"; failed=$((failed + 1)); }

# The files of the setup program's install phases (src/install) and of the
# tests' staged product (tests/test_support.cpp, StageProduct).
delivered=(
  tavmon.dll tavmona.dll tavdriver.SPD
  Pscript.dll Tavrinui.dll Pscript.hlp gs.PPD fontsub.tbl
  tavrinps5.PPD pscript5.dll ps5ui.dll tavrin.INI tavrinui5.DLL
  pscript.ntf printerdata.dat printerdata5.dat dfdevmd.dat dfdevmdnt.dat
  dfdevmdnt5.dat download.htm rpcinaccessible.tmp
)
[ "$edition" = win32 ] && delivered+=(tavmon95.dll tavmona95.dll)
others=(
  setup.exe readme.html res/tavrin.ini res/pdfwrite.rsp res/convert/gswin32c.exe
  res/utilities/readme.html
)
for f in "${delivered[@]}"; do
  if [ -s "$root/res/drivedir/$f" ]; then pass; else fail "missing or empty res/drivedir/$f"; fi
done
for f in "${others[@]}"; do
  if [ -s "$root/$f" ]; then pass; else fail "missing or empty $f"; fi
done

# The programs and libraries are of the edition's machine (the PE header's
# machine field: 0x14c i386, 0x8664 x64), Ghostscript's console program
# included.
# pe_machine FILE: the machine field in hex, or nothing for a non-PE file.
pe_machine() {
  [ "$(head -c 2 "$1" 2>/dev/null)" = MZ ] || return 0
  local at
  at=$(od -An -t u4 -j 60 -N 4 "$1" | tr -d ' ')
  od -An -t x2 -j $((at + 4)) -N 2 "$1" | tr -d ' '
}
want_machine=014c; [ "$edition" = win64 ] && want_machine=8664
for f in setup.exe res/drivedir/tavmon.dll res/drivedir/tavmona.dll res/convert/gswin32c.exe; do
  machine=$(pe_machine "$root/$f")
  if [ "$machine" = "$want_machine" ]; then pass
  else fail "$f is built for machine 0x$machine, not the $edition edition's 0x$want_machine"; fi
done

# The fonts Ghostscript finds through the response file's "-Ifonts" (it runs
# in its own folder): the URW base-35 fonts, each named in the Fontmap.
fonts="$root/res/convert/fonts"
if grep -q '^-Ifonts' "$root/res/pdfwrite.rsp"; then pass; else fail "res/pdfwrite.rsp does not name the fonts folder"; fi
count=$(ls "$fonts"/*.t1 2>/dev/null | wc -l)
if [ "$count" -eq 35 ]; then pass; else fail "res/convert/fonts holds $count of the 35 base fonts"; fi
for f in "$fonts"/*.t1; do
  [ -f "$f" ] || continue
  if grep -q "($(basename "$f"))" "$fonts/Fontmap" 2>/dev/null; then pass; else fail "the Fontmap does not name $(basename "$f")"; fi
done

# The product settings file the setup reads and writes.
if grep -q '^\[Parameters\]' "$root/res/tavrin.ini" && grep -q '^Quiet=0' "$root/res/tavrin.ini" &&
  grep -q '^Uninstall=' "$root/res/tavrin.ini"; then
  pass
else
  fail "res/tavrin.ini lacks [Parameters] with Uninstall= and Quiet=0"
fi

# The binary records and the Ostrel version, read back.
if python3 - "$root" <<'EOF'; then pass; else fail "data files do not read back"; fi
import re
import struct
import sys
import zlib

root = sys.argv[1]
drivedir = root + "/res/drivedir/"
errors = []

def read(name):
    with open(drivedir + name, "rb") as f:
        return f.read()

def check_devmode(name, spec, size):
    """The public part, then Tavrin's private part."""
    data = read(name)
    device, spec_version, _, dm_size, extra, fields = struct.unpack_from("<32sHHHHI", data)
    orientation, paper, _, _, scale, copies, _, quality = struct.unpack_from("<8h", data, 44)
    color, duplex, yres, tt, collate = struct.unpack_from("<5h", data, 60)
    checks = [
        (device.rstrip(b"\0") == b"TAVRIN", "device name %r" % device),
        (spec_version == spec, "dmSpecVersion %#x" % spec_version),
        (dm_size == size, "dmSize %d" % dm_size),
        (len(data) == dm_size + extra, "length %d != dmSize + dmDriverExtra" % len(data)),
        ((orientation, paper, scale, copies, quality) == (1, 1, 100, 1, 600), "paper fields"),
        ((color, duplex, yres, tt, collate) == (2, 1, 600, 2, 1), "colour/duplex/TrueType fields"),
        (fields & 0xFD13 == 0xFD13, "dmFields %#x" % fields),
        (data[dm_size:dm_size + 4] == b"TVDM", "private signature"),
        (struct.unpack_from("<H", data, dm_size + 4)[0] == extra, "private size"),
        (struct.unpack_from("<I", data, len(data) - 4)[0] == zlib.crc32(data[:-4]) & 0xFFFFFFFF,
         "private checksum"),
    ]
    return [text for ok, text in checks if not ok]

def check_printer_data(name, driver):
    """The driver data record: header and checksum."""
    data = read(name)
    signature, size, _, kind = struct.unpack_from("<4sHHH", data)
    if signature != b"TVPD" or size != len(data) or kind != driver:
        return ["header"]
    if struct.unpack_from("<I", data, size - 4)[0] != zlib.crc32(data[:-4]) & 0xFFFFFFFF:
        return ["checksum"]
    return []

def check_font_table(name):
    """NUL-ended UTF-16LE pairs, ended by an empty name."""
    names = read(name).decode("utf-16-le").split("\0")
    if names[-2:] != ["", ""] or (len(names) - 2) % 2 or "Arial" not in names:
        return ["layout"]
    return []

def check_editor_readme(name):
    """The setup warns about Ostrel below 4.2: the first "this is version " counts."""
    with open(root + "/" + name, encoding="latin-1") as f:
        text = f.read().lower()
    match = re.search(r"this is version ([0-9]+(\.[0-9]+)?)", text)
    if not match or float(match.group(1)) < 4.2:
        return ["version phrase"]
    return []

checks = [
    ("res/drivedir/dfdevmd.dat", lambda: check_devmode("dfdevmd.dat", 0x0400, 148)),
    ("res/drivedir/dfdevmdnt.dat", lambda: check_devmode("dfdevmdnt.dat", 0x0401, 156)),
    ("res/drivedir/dfdevmdnt5.dat", lambda: check_devmode("dfdevmdnt5.dat", 0x0401, 156)),
    ("res/drivedir/printerdata.dat", lambda: check_printer_data("printerdata.dat", 2)),
    ("res/drivedir/printerdata5.dat", lambda: check_printer_data("printerdata5.dat", 3)),
    ("res/drivedir/fontsub.tbl", lambda: check_font_table("fontsub.tbl")),
    ("res/utilities/readme.html", lambda: check_editor_readme("res/utilities/readme.html")),
]
for name, check in checks:
    try:
        errors += ["%s: %s" % (name, text) for text in check()]
    except (OSError, struct.error, UnicodeDecodeError) as e:
        errors.append("%s: %s" % (name, e))

for e in errors:
    print("  " + e)
sys.exit(1 if errors else 0)
EOF

# The printer descriptions, when cupstestppd is installed.
if command -v cupstestppd >/dev/null 2>&1; then
  for f in gs.PPD tavrinps5.PPD tavdriver.SPD; do
    if cupstestppd -q "$root/res/drivedir/$f"; then pass; else fail "cupstestppd rejects $f"; fi
  done
fi

# Ghostscript with the response file, as the port runs it: options from the
# file, then the output file and the job on standard input.
if command -v gs >/dev/null 2>&1; then
  tmp="$(mktemp -d)"
  cat > "$tmp/job.ps" <<'EOF'
%!PS-Adobe-3.0
%%Pages: 1
%%EndComments
%%Page: 1 1
/Helvetica findfont 24 scalefont setfont
72 700 moveto (Tavrin check page) show
showpage
%%EOF
EOF
  if (cd "$root/res/convert" && gs "@$root/res/pdfwrite.rsp" -sOutputFile="$tmp/out.pdf" -c save pop -f - < "$tmp/job.ps") &&
    [ "$(head -c 5 "$tmp/out.pdf")" = "%PDF-" ]; then
    pass
    if command -v pdfinfo >/dev/null 2>&1; then
      if pdfinfo "$tmp/out.pdf" | grep -q '^Pages: *1$'; then pass; else fail "the PDF has not one page"; fi
    fi
  else
    fail "gs did not write a PDF with res/pdfwrite.rsp"
  fi
  rm -rf "$tmp"
fi

echo "check-product: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
