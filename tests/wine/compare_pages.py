#!/usr/bin/env python3
"""Compares two renderings of one page, binary PGM files (P5, 8 bits) of the
same size, pixel by pixel.

Usage: compare_pages.py A.pgm B.pgm BUDGET

A pixel differs when its grey levels differ by more than 64 of 255 (half a
grey step either way is anti-aliasing or rounding, not a missing glyph).
Prints "<differing> of <pixels> pixels differ (<percent>%)" and exits 0 when
the share of differing pixels is at most BUDGET percent, 1 when it is over or
the pages differ in size, 2 when a file is no PGM.
"""
import sys


def read_pgm(path):
    """Returns (width, height, pixels) of a binary 8-bit PGM file."""
    with open(path, "rb") as f:
        data = f.read()
    fields = []
    at = 0
    while len(fields) < 4:
        while data[at:at + 1].isspace():
            at += 1
        if data[at:at + 1] == b"#":
            at = data.index(b"\n", at) + 1
            continue
        end = at
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[at:end])
        at = end
    at += 1  # the one blank after the maximum value
    if fields[0] != b"P5" or int(fields[3]) != 255:
        raise ValueError("%s is no 8-bit binary PGM file" % path)
    width, height = int(fields[1]), int(fields[2])
    pixels = data[at:at + width * height]
    if len(pixels) != width * height:
        raise ValueError("%s is cut short" % path)
    return width, height, pixels


def main():
    if len(sys.argv) != 4:
        print(__doc__.strip().splitlines()[2], file=sys.stderr)
        return 2
    try:
        a = read_pgm(sys.argv[1])
        b = read_pgm(sys.argv[2])
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
