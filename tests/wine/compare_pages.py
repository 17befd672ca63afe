#!/usr/bin/env python3
"""Compares two renderings of one page, binary 8-bit PGM files (P5) as
Ghostscript's pgmraw device writes them, pixel by pixel.

Usage: compare_pages.py A.pgm B.pgm BUDGET

A pixel differs when its grey levels differ by more than 64 of 255 (less is
anti-aliasing or rounding, not a missing glyph). Prints "<differing> of
<pixels> pixels differ (<percent>%)" and exits 0 when that share is at most
BUDGET percent, 1 when it is over or the pages differ in size, 2 when a file
cannot be read as such a PGM.
"""
import re
import sys

# One header field, after blanks and "#" comment lines.
FIELD = re.compile(rb"(?:\s|#[^\n]*\n)*(\S+)")


def read_pgm(path):
    """Returns (width, height, pixels): four header fields, one blank, the pixels."""
    with open(path, "rb") as f:
        data = f.read()
    fields, at = [], 0
    for _ in range(4):
        match = FIELD.match(data, at)
        if not match:
            raise ValueError("%s is no PGM file" % path)
        fields.append(match.group(1))
        at = match.end()
    magic, width, height, maxval = fields
    width, height = int(width), int(height)
    pixels = data[at + 1:]
    if magic != b"P5" or maxval != b"255" or len(pixels) < width * height:
        raise ValueError("%s is no whole 8-bit binary PGM file" % path)
    return width, height, pixels[:width * height]


def main():
    if len(sys.argv) != 4:
        print("usage: compare_pages.py A.pgm B.pgm BUDGET", file=sys.stderr)
        return 2
    try:
        a, b = read_pgm(sys.argv[1]), read_pgm(sys.argv[2])
    except (OSError, ValueError) as e:
        print(e, file=sys.stderr)
        return 2
    if a[:2] != b[:2]:
        print("the pages differ in size: %dx%d and %dx%d" % (a[0], a[1], b[0], b[1]))
        return 1
    differing = sum(1 for x, y in zip(a[2], b[2]) if abs(x - y) > 64)
    total = a[0] * a[1]
    percent = 100.0 * differing / total
    print("%d of %d pixels differ (%.3f%%)" % (differing, total, percent))
    return 0 if percent <= float(sys.argv[3]) else 1


if __name__ == "__main__":
    sys.exit(main())
