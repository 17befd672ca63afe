#!/usr/bin/env python3
"""Writes a PostScript document of about SIZE megabytes: pages of plain text
in Courier, each line naming its page and line, so that a converted file
can be checked with pdftotext.

Usage: make_text_ps.py SIZE_MB OUTPUT
"""
import sys

LINES_PER_PAGE = 64
TEXT = "the quick brown fox jumps over the lazy dog"


def page(number):
    """The PostScript of page `number`, with its DSC comment."""
    out = [f"%%Page: {number} {number}\n"]
    y = 760
    for line in range(1, LINES_PER_PAGE + 1):
        out.append(f"36 {y} moveto (Page {number} line {line:02d}: {TEXT}) show\n")
        y -= 11
    out.append("showpage\n")
    return "".join(out)


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: make_text_ps.py SIZE_MB OUTPUT")
    target = int(float(sys.argv[1]) * 1024 * 1024)
    with open(sys.argv[2], "w", newline="\n") as out:
        out.write("%!PS-Adobe-3.0\n%%Title: Tavrin large text job\n"
                  "%%Pages: (atend)\n%%EndComments\n"
                  "%%BeginSetup\n/Courier findfont 9 scalefont setfont\n%%EndSetup\n")
        written, number = out.tell(), 0
        while written < target:
            number += 1
            text = page(number)
            out.write(text)
            written += len(text)
        out.write(f"%%Trailer\n%%Pages: {number}\n%%EOF\n")
    print(number)


if __name__ == "__main__":
    main()
