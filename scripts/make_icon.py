#!/usr/bin/env python3
"""Draws the application icon (a sheet of paper with a red band, coming out
of a grey printer) and writes it as a Windows .ico with 16x16 and 32x32
images in 32-bit colour. Usage: make_icon.py OUTPUT.ico"""
import struct
import sys


def draw(size):
    """Returns size*size (r, g, b, a) pixels, top row first."""
    s = size / 32.0
    pixels = []
    for y in range(size):
        for x in range(size):
            fx, fy = x / s, y / s
            colour = (0, 0, 0, 0)
            if 4 <= fx < 28 and 14 <= fy < 26:          # printer body
                colour = (96, 96, 104, 255)
                if 6 <= fx < 26 and 22 <= fy < 24:      # paper slot
                    colour = (40, 40, 44, 255)
            if 9 <= fx < 23 and 2 <= fy < 18:           # paper
                colour = (250, 250, 250, 255)
                if 11 <= fx < 21 and 5 <= fy < 9:       # red band
                    colour = (200, 30, 30, 255)
                elif 11 <= fx < 21 and fy % 3 < 1 and 10 <= fy < 17:
                    colour = (150, 150, 150, 255)       # text lines
            if 22 <= fx < 25 and 16 <= fy < 19:         # power light
                colour = (40, 200, 60, 255)
            pixels.append(colour)
    return pixels


def image(size):
    """One icon image: BITMAPINFOHEADER, BGRA rows bottom-up, AND mask."""
    pixels = draw(size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    rows = b""
    for y in reversed(range(size)):
        for x in range(size):
            r, g, b, a = pixels[y * size + x]
            rows += bytes((b, g, r, a))
    mask_row = ((size + 31) // 32) * 4
    mask = b""
    for y in reversed(range(size)):
        bits = bytearray(mask_row)
        for x in range(size):
            if pixels[y * size + x][3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(bits)
    return header + rows + mask


def main():
    images = [image(16), image(32)]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip((16, 32), images):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b"".join(images)
    with open(sys.argv[1], "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
