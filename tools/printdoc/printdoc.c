/* Prints to a named printer the way applications do, to drive the product
 * from the outside.
 *
 *   printdoc PRINTER DOCUMENT [--pages N] [--output FILE]
 *       A GDI job: CreateDC on the printer, StartDoc named DOCUMENT, N pages
 *       (3 by default) of known text, EndDoc. With --output the driver's
 *       data goes to the Windows file FILE instead of the printer's port
 *       (DOCINFO's lpszOutput, as "Print to file" does).
 *   printdoc PRINTER DOCUMENT --raw FILE
 *       A RAW job: FILE (PostScript, any size) streamed to the printer with
 *       StartDocPrinter/WritePrinter/EndDocPrinter.
 *
 * Each page carries the title "Tavrin sample document", a paragraph and the
 * line "Page i of N". On standard output, "job start <ms>" just before the
 * printer is opened and "job end <ms>" once it is closed again, the wall
 * clock in milliseconds since 1970 (the Unix clock under Wine), so that a
 * caller can time the job without this program's own start and exit.
 * Exit code 0 when the job was handed to the spooler;
 * otherwise 1 (a Win32 call failed, with its error on standard error) or 2
 * (usage).
 */
#include <windows.h>
#include <winspool.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define RAW_CHUNK (64 * 1024)

static const char kTitle[] = "Tavrin sample document";
static const char *const kParagraph[] = {
    "This document was printed to the Tavrin printer by an application.",
    "Every page it sends through the TAVRIN port becomes a page of a PDF file:",
    "the quick brown fox jumps over the lazy dog 0123456789.",
};

/* Writes "job <what> <ms>": the wall clock in milliseconds since 1970. */
static void Stamp(const char *what) {
  FILETIME now;
  ULARGE_INTEGER ticks;
  GetSystemTimeAsFileTime(&now);
  ticks.LowPart = now.dwLowDateTime;
  ticks.HighPart = now.dwHighDateTime;
  /* 100 ns steps since 1601; 1970 is 11644473600 s later. Seconds and
   * milliseconds apart: the old runtimes' printf has no 64-bit format. */
  ticks.QuadPart = (ticks.QuadPart - 116444736000000000ULL) / 10000;
  printf("job %s %lu%03lu\n", what, (unsigned long)(ticks.QuadPart / 1000),
         (unsigned long)(ticks.QuadPart % 1000));
  fflush(stdout);
}

/* Reports a failed call with the thread's last error. Returns 1, the exit
 * code of a failure. */
static int Failed(const char *what) {
  DWORD error = GetLastError();
  fprintf(stderr, "printdoc: %s failed: %lu\n", what, (unsigned long)error);
  return 1;
}

/* Draws page `page` of `pages` on the printer DC: title, paragraph, page
 * line. Returns TRUE when every TextOut succeeded. */
static BOOL DrawPage(HDC dc, int page, int pages) {
  char line[64];
  int dpi = GetDeviceCaps(dc, LOGPIXELSY);
  int margin = GetDeviceCaps(dc, LOGPIXELSX); /* one inch */
  int y = dpi;
  int step = dpi / 4; /* 18 points: room for 12-point text */
  BOOL ok = TextOutA(dc, margin, y, kTitle, (int)strlen(kTitle));
  size_t i;
  y += 2 * step;
  for (i = 0; i < sizeof(kParagraph) / sizeof(kParagraph[0]); ++i, y += step)
    ok = TextOutA(dc, margin, y, kParagraph[i], (int)strlen(kParagraph[i])) && ok;
  snprintf(line, sizeof(line), "Page %d of %d", page, pages);
  ok = TextOutA(dc, margin, y + step, line, (int)strlen(line)) && ok;
  return ok;
}

/* Makes a 12-point font for the printer DC. Returns the font or null. */
static HFONT MakeFont(HDC dc) {
  return CreateFontA(-MulDiv(12, GetDeviceCaps(dc, LOGPIXELSY), 72), 0, 0, 0, FW_NORMAL, FALSE,
                     FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                     DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, "Arial");
}

/* Prints `pages` pages as a GDI job named `document`, to `output` when that
 * is not null. Returns the exit code. */
static int PrintGdi(const char *printer, const char *document, int pages, const char *output) {
  DOCINFOA info;
  HFONT font, old_font = NULL;
  int page, status = 0;
  HDC dc;
  Stamp("start");
  dc = CreateDCA("WINSPOOL", printer, NULL, NULL);
  if (!dc) return Failed("CreateDC");

  font = MakeFont(dc);
  if (font) old_font = (HFONT)SelectObject(dc, font);
  memset(&info, 0, sizeof(info));
  info.cbSize = sizeof(info);
  info.lpszDocName = document;
  info.lpszOutput = output;
  if (StartDocA(dc, &info) <= 0) {
    status = Failed("StartDoc");
  } else {
    for (page = 1; page <= pages && status == 0; ++page) {
      if (StartPage(dc) <= 0) status = Failed("StartPage");
      else if (!DrawPage(dc, page, pages)) status = Failed("TextOut");
      else if (EndPage(dc) <= 0) status = Failed("EndPage");
    }
    if (status != 0) AbortDoc(dc);
    else if (EndDoc(dc) <= 0) status = Failed("EndDoc");
  }
  if (font) {
    SelectObject(dc, old_font);
    DeleteObject(font);
  }
  DeleteDC(dc);
  Stamp("end");
  return status;
}

/* Streams the open file into the started job in chunks. Returns the exit
 * code. */
static int StreamFile(HANDLE printer, FILE *in) {
  static BYTE chunk[RAW_CHUNK];
  size_t got;
  while ((got = fread(chunk, 1, sizeof(chunk), in)) > 0) {
    DWORD offset = 0;
    while (offset < got) {
      DWORD written = 0;
      if (!WritePrinter(printer, chunk + offset, (DWORD)got - offset, &written))
        return Failed("WritePrinter");
      if (written == 0) {
        fprintf(stderr, "printdoc: WritePrinter took no bytes\n");
        return 1;
      }
      offset += written;
    }
  }
  if (ferror(in)) {
    fprintf(stderr, "printdoc: reading the file failed\n");
    return 1;
  }
  return 0;
}

/* Sends the file at `path` as a RAW job named `document`. Returns the exit
 * code. */
static int PrintRaw(const char *printer_name, const char *document, const char *path) {
  DOC_INFO_1A info;
  HANDLE printer = NULL;
  int status;
  FILE *in = fopen(path, "rb");
  if (!in) {
    fprintf(stderr, "printdoc: cannot open %s\n", path);
    return 1;
  }
  Stamp("start");
  if (!OpenPrinterA((LPSTR)printer_name, &printer, NULL)) {
    fclose(in);
    return Failed("OpenPrinter");
  }
  info.pDocName = (LPSTR)document;
  info.pOutputFile = NULL;
  info.pDatatype = (LPSTR) "RAW";
  if (StartDocPrinterA(printer, 1, (LPBYTE)&info) == 0) {
    status = Failed("StartDocPrinter");
  } else {
    status = StreamFile(printer, in);
    if (status != 0) AbortPrinter(printer);
    else if (!EndDocPrinter(printer)) status = Failed("EndDocPrinter");
  }
  ClosePrinter(printer);
  Stamp("end");
  fclose(in);
  return status;
}

static int Usage(void) {
  fprintf(stderr, "usage: printdoc PRINTER DOCUMENT [--pages N] [--output FILE]\n"
                  "       printdoc PRINTER DOCUMENT --raw FILE\n");
  return 2;
}

int main(int argc, char **argv) {
  const char *output = NULL;
  int pages = 3;
  int i;
  if (argc < 3) return Usage();
  if (argc == 5 && strcmp(argv[3], "--raw") == 0) return PrintRaw(argv[1], argv[2], argv[4]);
  for (i = 3; i < argc; i += 2) {
    if (i + 1 >= argc) return Usage();
    if (strcmp(argv[i], "--pages") == 0) {
      pages = atoi(argv[i + 1]);
      if (pages < 1) return Usage();
    } else if (strcmp(argv[i], "--output") == 0) {
      output = argv[i + 1];
    } else {
      return Usage();
    }
  }
  return PrintGdi(argv[1], argv[2], pages, output);
}
