#!/usr/bin/env python3
"""Writes the RAW jobs of a load run: DIR/001.ps, DIR/002.ps, ... each a
PostScript document of about SIZE_KB kilobytes, pages of plain text in
Courier whose every line names its job, page and line ("Load job 007 page
3 line 12: ..."), so that each converted file can be told apart with
pdftotext. Jobs whose number is a multiple of GDI_EVERY (when not 0) are
left out: printdoc prints those as GDI jobs. Prints the number of pages of
a job.

Usage: make_load_ps.py COUNT SIZE_KB DIR [GDI_EVERY]
"""
import os
import sys

LINES_PER_PAGE = 64
TEXT = "the quick brown fox jumps over the lazy dog"


def document(job, target):
    """The PostScript of job `job`, at least `target` bytes, and its pages."""
    out = ["%!PS-Adobe-3.0\n", f"%%Title: Load job {job:03d}\n", "%%Pages: (atend)\n",
           "%%EndComments\n%%BeginSetup\n/Courier findfont 9 scalefont setfont\n%%EndSetup\n"]
    written, number = sum(map(len, out)), 0
    while written < target:
        number += 1
        page = [f"%%Page: {number} {number}\n"]
        y = 760
        for line in range(1, LINES_PER_PAGE + 1):
            page.append(f"36 {y} moveto (Load job {job:03d} page {number} line {line:02d}: "
                        f"{TEXT}) show\n")
            y -= 11
        page.append("showpage\n")
        text = "".join(page)
        out.append(text)
        written += len(text)
    out.append(f"%%Trailer\n%%Pages: {number}\n%%EOF\n")
    return "".join(out), number


def main():
    if len(sys.argv) not in (4, 5):
        sys.exit("usage: make_load_ps.py COUNT SIZE_KB DIR [GDI_EVERY]")
    count, size_kb, folder = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
    gdi_every = int(sys.argv[4]) if len(sys.argv) == 5 else 0
    os.makedirs(folder, exist_ok=True)
    pages = 0
    for job in range(1, count + 1):
        if gdi_every and job % gdi_every == 0:
            continue
        text, pages = document(job, size_kb * 1024)
        with open(os.path.join(folder, f"{job:03d}.ps"), "w", newline="\n") as out:
            out.write(text)
    print(pages)


if __name__ == "__main__":
    main()
