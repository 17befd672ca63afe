#!/usr/bin/env python3
"""Writes the binary data files of the Tavrin product into a folder.

Usage: make_product_data.py OUTDIR

The setup program copies or reads these files from <root>\\tavrin\\res\\drivedir\\
and stores them in the printer's registry keys. Every number is little-endian;
the output is the same bytes on every run.

fontsub.tbl -- TrueType font substitution table (value "TTFontSubTable" under
    the printer's PrinterDriverData key, Windows 9x and NT 4.0).
    A sequence of UTF-16LE strings, each ended by one NUL character (two zero
    bytes). The strings go in pairs: a TrueType family name, then the name of
    the printer-resident PostScript font the driver uses in its place. The
    table ends with an empty string, so the file ends in four zero bytes
    (the NUL of the last name and the empty string).

printerdata.dat (NT 4.0), printerdata5.dat (2000/XP) -- the value
    "PrinterData" under PrinterDriverData: Tavrin's own settings record,
    32 bytes:
      offset size
       0  4  signature, the ASCII bytes "TVPD"
       4  2  size of the record in bytes (32)
       6  2  record version, 0x0100 (1.0)
       8  2  driver: 2 = Windows NT 4.0 PostScript driver,
                     3 = Windows 2000/XP PostScript driver (Pscript5)
      10  2  PostScript language level (3)
      12  2  default resolution in dpi (600)
      14  2  colour mode, as dmColor: 1 monochrome, 2 colour (2)
      16  2  TrueType handling, as dmTTOption (2, DMTT_DOWNLOAD)
      18  2  flags: bit 0 the font substitution table is in use,
                    bit 1 TrueType fonts are sent as Type 42
      20  4  free printer memory in bytes, as *FreeVM in the PPD (33554432)
      24  4  job timeout in seconds, 0 for none
      28  4  CRC-32 (as zlib.crc32) of bytes 0 to 27

dfdevmd.dat (9x), dfdevmdnt.dat (NT 4.0), dfdevmdnt5.dat (2000/XP) -- the
    value "Default DevMode" of the printer's key: a DEVMODEA record, the public
    part (dmSize bytes) followed by a private part (dmDriverExtra bytes).
    Public part, as wingdi.h lays it out:
       0 dmDeviceName[32]  "TAVRIN", NUL-padded
      32 dmSpecVersion     0x0400 (9x) or 0x0401 (NT 4.0, 2000/XP)
      34 dmDriverVersion   0x0100
      36 dmSize            148 for 0x0400 (fields up to dmReserved2),
                           156 for 0x0401 (up to dmPanningHeight)
      38 dmDriverExtra     20, the private part below
      40 dmFields          the DM_* bits of the fields set below
      44 dmOrientation 1 (portrait), dmPaperSize 1 (letter), dmPaperLength 0,
         dmPaperWidth 0, dmScale 100, dmCopies 1, dmDefaultSource 0,
         dmPrintQuality 600
      60 dmColor 2 (colour), dmDuplex 1 (simplex), dmYResolution 600,
         dmTTOption 2 (download), dmCollate 1 (true)
      70 dmFormName[32]    "Letter" on NT (with DM_FORMNAME); zeros on 9x,
                           whose drivers know no forms
     102 dmLogPixels and the display fields up to dmDisplayFrequency: 0
     124 dmICMMethod, dmICMIntent, dmMediaType, dmDitherType,
         dmReserved1, dmReserved2: 0
     148 dmPanningWidth, dmPanningHeight: 0 (0x0401 only)
    Private part, Tavrin's own, 20 bytes:
       0  4  signature, the ASCII bytes "TVDM"
       4  2  size of the private part (20)
       6  2  version, 0x0100
       8  2  driver: 1 = Windows 95/98/Me, 2 = NT 4.0, 3 = 2000/XP
      10  2  PostScript language level (3)
      12  2  flags, the same bits as in the PrinterData record
      14  2  reserved, 0
      16  4  CRC-32 of the whole record before this field (public part and
             the first 16 private bytes)
"""

import os
import struct
import sys
import zlib

# TrueType family -> resident PostScript font of the standard 35.
FONT_SUBSTITUTES = [
    ("Arial", "Helvetica"),
    ("Arial Narrow", "Helvetica-Narrow"),
    ("Times New Roman", "Times-Roman"),
    ("Courier New", "Courier"),
    ("Symbol", "Symbol"),
    ("Book Antiqua", "Palatino-Roman"),
    ("Bookman Old Style", "Bookman-Light"),
    ("Century Gothic", "AvantGarde-Book"),
    ("Century Schoolbook", "NewCenturySchlbk-Roman"),
    ("Monotype Corsiva", "ZapfChancery-MediumItalic"),
]

# wingdi.h values.
DM_ORIENTATION = 0x00000001
DM_PAPERSIZE = 0x00000002
DM_SCALE = 0x00000010
DM_COPIES = 0x00000100
DM_PRINTQUALITY = 0x00000400
DM_COLOR = 0x00000800
DM_DUPLEX = 0x00001000
DM_YRESOLUTION = 0x00002000
DM_TTOPTION = 0x00004000
DM_COLLATE = 0x00008000
DM_FORMNAME = 0x00010000
DMORIENT_PORTRAIT = 1
DMPAPER_LETTER = 1
DMCOLOR_COLOR = 2
DMDUP_SIMPLEX = 1
DMTT_DOWNLOAD = 2
DMCOLLATE_TRUE = 1

# Tavrin's own records.
RECORD_VERSION = 0x0100
DRIVER_9X, DRIVER_NT4, DRIVER_2000 = 1, 2, 3
FLAG_FONT_SUBSTITUTION = 0x0001
FLAG_TRUETYPE_AS_TYPE42 = 0x0002
LANGUAGE_LEVEL = 3
RESOLUTION = 600
FREE_VM = 33554432

DEVICE_NAME = b"TAVRIN"
DRIVER_VERSION = 0x0100
PUBLIC_FORMAT_0400 = "<32sHHHHI8h5h32sH4II6I"  # up to dmReserved2
PUBLIC_FORMAT_0401 = PUBLIC_FORMAT_0400 + "2I"  # plus the panning fields
PRIVATE_HEAD_FORMAT = "<4sHHHHHH"
PRIVATE_SIZE = struct.calcsize(PRIVATE_HEAD_FORMAT) + 4


def font_substitution_table():
    """Returns the fontsub.tbl bytes: NUL-ended UTF-16LE pairs, then an empty string."""
    out = bytearray()
    for truetype, postscript in FONT_SUBSTITUTES:
        for name in (truetype, postscript):
            out += (name + "\0").encode("utf-16-le")
    out += "\0".encode("utf-16-le")
    return bytes(out)


def crc32(data):
    """Returns the CRC-32 of data as an unsigned 32-bit number."""
    return zlib.crc32(data) & 0xFFFFFFFF


def printer_data(driver, flags):
    """Returns one 32-byte PrinterData record for the given driver and flags."""
    head = struct.pack("<4sHHHHHHHHII", b"TVPD", 32, RECORD_VERSION, driver, LANGUAGE_LEVEL,
                       RESOLUTION, DMCOLOR_COLOR, DMTT_DOWNLOAD, flags, FREE_VM, 0)
    record = head + struct.pack("<I", crc32(head))
    assert len(record) == 32
    return record


def devmode(spec_version, driver, flags):
    """Returns a DEVMODEA record (public part and Tavrin's private part)."""
    nt = spec_version == 0x0401
    public_format = PUBLIC_FORMAT_0401 if nt else PUBLIC_FORMAT_0400
    size = struct.calcsize(public_format)
    fields = (DM_ORIENTATION | DM_PAPERSIZE | DM_SCALE | DM_COPIES | DM_PRINTQUALITY | DM_COLOR
              | DM_DUPLEX | DM_YRESOLUTION | DM_TTOPTION | DM_COLLATE)
    form_name = b""
    if nt:
        fields |= DM_FORMNAME
        form_name = b"Letter"
    values = [
        DEVICE_NAME, spec_version, DRIVER_VERSION, size, PRIVATE_SIZE, fields,
        DMORIENT_PORTRAIT, DMPAPER_LETTER, 0, 0, 100, 1, 0, RESOLUTION,  # ... dmPrintQuality
        DMCOLOR_COLOR, DMDUP_SIMPLEX, RESOLUTION, DMTT_DOWNLOAD, DMCOLLATE_TRUE,
        form_name,
        0,  # dmLogPixels
        0, 0, 0, 0, 0,  # dmBitsPerPel .. dmDisplayFrequency
        0, 0, 0, 0, 0, 0,  # dmICMMethod .. dmReserved2
    ]
    if nt:
        values += [0, 0]  # dmPanningWidth, dmPanningHeight
    public = struct.pack(public_format, *values)  # "s" pads the names with NULs
    private_head = struct.pack(PRIVATE_HEAD_FORMAT, b"TVDM", PRIVATE_SIZE, RECORD_VERSION, driver,
                               LANGUAGE_LEVEL, flags, 0)
    record = public + private_head
    return record + struct.pack("<I", crc32(record))


def product_data():
    """Returns the file name -> bytes map of every data file."""
    nt4_flags = FLAG_FONT_SUBSTITUTION | FLAG_TRUETYPE_AS_TYPE42
    # Windows 2000 keeps no substitution table in the printer's data.
    w2k_flags = FLAG_TRUETYPE_AS_TYPE42
    return {
        "fontsub.tbl": font_substitution_table(),
        "printerdata.dat": printer_data(DRIVER_NT4, nt4_flags),
        "printerdata5.dat": printer_data(DRIVER_2000, w2k_flags),
        "dfdevmd.dat": devmode(0x0400, DRIVER_9X, nt4_flags),
        "dfdevmdnt.dat": devmode(0x0401, DRIVER_NT4, nt4_flags),
        "dfdevmdnt5.dat": devmode(0x0401, DRIVER_2000, w2k_flags),
    }


def main(argv):
    if len(argv) != 2:
        sys.stderr.write("usage: make_product_data.py OUTDIR\n")
        return 2
    outdir = argv[1]
    os.makedirs(outdir, exist_ok=True)
    for name, data in sorted(product_data().items()):
        with open(os.path.join(outdir, name), "wb") as out:
            out.write(data)
        print("%-18s %4d bytes" % (name, len(data)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
