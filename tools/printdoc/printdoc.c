/* Prints to a named printer the way applications do, to drive the product
 * from the outside.
 *
 *   printdoc PRINTER DOCUMENT [--name-file NAMEFILE] [--pages N] [--output FILE]
 *            [--abort-after K]
 *       A GDI job: CreateDC on the printer, StartDoc named DOCUMENT, N pages
 *       (3 by default) of known text, EndDoc. With --output the driver's
 *       data goes to the Windows file FILE instead of the printer's port
 *       (DOCINFO's lpszOutput, as "Print to file" does). With --abort-after
 *       the application cancels the job with AbortDoc after K pages, and
 *       the line "job aborted after K pages: AbortDoc returned R, error E"
 *       tells how that went (exit code 1 when R is not positive).
 *   printdoc PRINTER DOCUMENT [--name-file NAMEFILE] --raw FILE [--repeat N]
 *       A RAW job: FILE (PostScript, any size) streamed to the printer with
 *       StartDocPrinter/WritePrinter/EndDocPrinter. With --repeat the job
 *       is sent N times from this one process (which hosts Wine's spooler
 *       and the monitor), each followed by the line "after job K: H
 *       handles, T threads" (see PrintCounts).
 *   printdoc PRINTER PREFIX --load N --raw-dir DIR [--gdi-every K]
 *            [--sample-after I,J,...] [--go-file FILE]
 *       N jobs from this one process, one after the other, job i named
 *       "PREFIX iii" (i in three digits at least): a RAW job of the file
 *       DIR\iii.ps, or, for every K-th job, a one-page GDI job whose page
 *       also carries the line "Load job iii". After each job the line
 *       "load job <i> <ms>"; a failed job ends the run with its error. After
 *       each job named in --sample-after the line
 *       "load sample <i> <ms> handles <count>", the count of the handles this
 *       process holds in the system's handle table
 *       (NtQuerySystemInformation, SystemHandleInformation; -1 when it cannot
 *       be read); with --go-file the run then waits (at most 10 minutes)
 *       until FILE exists, deletes it and goes on, so that a caller can look
 *       at the process at rest.
 *
 * The job's name goes to the spooler in UTF-16 (StartDocW, DOC_INFO_1W), as
 * a Unicode application names its jobs. With --name-file it is the UTF-8
 * text of NAMEFILE (without a line end) in place of DOCUMENT: a command
 * line carries only what the code pages on its way can hold.
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
#include <tlhelp32.h>
#include <winspool.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define RAW_CHUNK (64 * 1024)
#define MAX_NAME 4096
#define MAX_SAMPLES 64

static const char kTitle[] = "Tavrin sample document";
static const char *const kParagraph[] = {
    "This document was printed to the Tavrin printer by an application.",
    "Every page it sends through the TAVRIN port becomes a page of a PDF file:",
    "the quick brown fox jumps over the lazy dog 0123456789.",
};

/* The wall clock in milliseconds since 1970 as text ("<s><ms>"). */
static void NowText(char *text, size_t size) {
  FILETIME now;
  ULARGE_INTEGER ticks;
  GetSystemTimeAsFileTime(&now);
  ticks.LowPart = now.dwLowDateTime;
  ticks.HighPart = now.dwHighDateTime;
  /* 100 ns steps since 1601; 1970 is 11644473600 s later. Seconds and
   * milliseconds apart: the old runtimes' printf has no 64-bit format. */
  ticks.QuadPart = (ticks.QuadPart - 116444736000000000ULL) / 10000;
  snprintf(text, size, "%lu%03lu", (unsigned long)(ticks.QuadPart / 1000),
           (unsigned long)(ticks.QuadPart % 1000));
}

/* Writes "job <what> <ms>": the wall clock in milliseconds since 1970. */
static void Stamp(const char *what) {
  char now[32];
  NowText(now, sizeof(now));
  printf("job %s %s\n", what, now);
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
 * line, and `extra` below them when it is not null. Returns TRUE when every
 * TextOut succeeded. */
static BOOL DrawPage(HDC dc, int page, int pages, const char *extra) {
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
  if (extra) ok = TextOutA(dc, margin, y + 3 * step, extra, (int)strlen(extra)) && ok;
  return ok;
}

/* Makes a 12-point font for the printer DC. Returns the font or null. */
static HFONT MakeFont(HDC dc) {
  return CreateFontA(-MulDiv(12, GetDeviceCaps(dc, LOGPIXELSY), 72), 0, 0, 0, FW_NORMAL, FALSE,
                     FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                     DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, "Arial");
}

/* Converts `text` in code page `code_page` to UTF-16 in `wide` (MAX_NAME
 * units). Returns FALSE when it does not convert or fit. */
static BOOL ToWide(UINT code_page, const char *text, WCHAR *wide) {
  if (!*text) {
    wide[0] = 0;
    return TRUE;
  }
  return MultiByteToWideChar(code_page, 0, text, -1, wide, MAX_NAME) > 0;
}

/* Reads the job's name from the UTF-8 file `path` into `name` (MAX_NAME
 * units), without a trailing line end. Returns FALSE when it cannot. */
static BOOL ReadNameFile(const char *path, WCHAR *name) {
  static char text[MAX_NAME];
  size_t got;
  FILE *in = fopen(path, "rb");
  if (!in) return FALSE;
  got = fread(text, 1, sizeof(text) - 1, in);
  fclose(in);
  while (got > 0 && (text[got - 1] == '\n' || text[got - 1] == '\r')) --got;
  text[got] = '\0';
  return ToWide(CP_UTF8, text, name);
}

/* Prints `pages` pages as a GDI job named `document`, to `output` when that
 * is not null, each page with the line `extra` when that is not null;
 * cancels it after `abort_after` pages when that is not 0. Returns the exit
 * code. */
static int PrintGdi(const char *printer, const WCHAR *document, int pages, const char *output,
                    const char *extra, int abort_after) {
  static WCHAR wide_output[MAX_NAME];
  DOCINFOW info;
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
  info.lpszOutput = output && ToWide(CP_ACP, output, wide_output) ? wide_output : NULL;
  if (StartDocW(dc, &info) <= 0) {
    status = Failed("StartDoc");
  } else {
    for (page = 1; page <= pages && status == 0; ++page) {
      if (StartPage(dc) <= 0) status = Failed("StartPage");
      else if (!DrawPage(dc, page, pages, extra)) status = Failed("TextOut");
      else if (EndPage(dc) <= 0) status = Failed("EndPage");
      if (status == 0 && page == abort_after) break;
    }
    if (status != 0) {
      AbortDoc(dc);
    } else if (abort_after > 0) {
      /* Printed whatever AbortDoc says: Wine's answers 0 having cancelled. */
      int aborted = AbortDoc(dc);
      printf("job aborted after %d pages: AbortDoc returned %d, error %lu\n", abort_after, aborted,
             (unsigned long)GetLastError());
      if (aborted <= 0) status = 1;
    } else if (EndDoc(dc) <= 0) {
      status = Failed("EndDoc");
    }
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

/* One entry of NtQuerySystemInformation's SystemHandleInformation. */
typedef struct {
  ULONG owner_pid;
  BYTE object_type;
  BYTE flags;
  USHORT value;
  PVOID object;
  ULONG access;
} HandleEntry;
typedef struct {
  ULONG count;
  HandleEntry entries[1];
} HandleTable;
typedef LONG(WINAPI *QuerySystemInformation)(ULONG, PVOID, ULONG, PULONG);
#define SYSTEM_HANDLE_INFORMATION_CLASS 16
#define STATUS_INFO_LENGTH_MISMATCH_CODE ((LONG)0xC0000004L)

/* The number of handles this process holds, as the system's handle table
 * has them; -1 when it cannot be read. (GetProcessHandleCount answers 0
 * under Wine.) */
static long OwnHandleCount(void) {
  /* Through a plain function pointer: FARPROC stands for any export. */
  QuerySystemInformation query = (QuerySystemInformation)(void (*)(void))GetProcAddress(
      GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation");
  const DWORD self = GetCurrentProcessId();
  ULONG size = 64 * 1024;
  long count = -1;
  if (!query) return -1;
  for (;;) {
    HandleTable *table = (HandleTable *)malloc(size);
    ULONG needed = 0, i;
    LONG status;
    if (!table) return -1;
    status = query(SYSTEM_HANDLE_INFORMATION_CLASS, table, size, &needed);
    if (status == STATUS_INFO_LENGTH_MISMATCH_CODE && size < 64 * 1024 * 1024) {
      free(table);
      size *= 2;
      continue;
    }
    if (status >= 0) {
      count = 0;
      for (i = 0; i < table->count; ++i)
        if (table->entries[i].owner_pid == self) ++count;
    }
    free(table);
    return count;
  }
}

/* Prints, after job `job`, the handles this process holds (OwnHandleCount)
 * and its thread count (-1 where either cannot be read). */
static void PrintCounts(int job) {
  DWORD self = GetCurrentProcessId();
  long threads = -1;
  THREADENTRY32 entry;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot != INVALID_HANDLE_VALUE) {
    threads = 0;
    entry.dwSize = sizeof(entry);
    if (Thread32First(snapshot, &entry)) {
      do {
        if (entry.th32OwnerProcessID == self) ++threads;
      } while (Thread32Next(snapshot, &entry));
    }
    CloseHandle(snapshot);
  }
  printf("after job %d: %ld handles, %ld threads\n", job, OwnHandleCount(), threads);
  fflush(stdout);
}

/* Sends the file at `path` as a RAW job named `document`. Returns the exit
 * code. */
static int PrintRaw(const char *printer_name, const WCHAR *document, const char *path) {
  DOC_INFO_1W info;
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
  info.pDocName = (LPWSTR)document;
  info.pOutputFile = NULL;
  info.pDatatype = (LPWSTR)L"RAW";
  if (StartDocPrinterW(printer, 1, (LPBYTE)&info) == 0) {
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


/* Waits (at most 10 minutes) until the file `path` exists, then deletes
 * it. Returns FALSE when it did not come. */
static BOOL AwaitGoFile(const char *path) {
  int waited;
  for (waited = 0; waited < 10 * 60 * 1000; waited += 50) {
    if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES) {
      DeleteFileA(path);
      return TRUE;
    }
    Sleep(50);
  }
  return FALSE;
}

/* Parses "I,J,..." into `samples` (at most MAX_SAMPLES). Returns the
 * number of entries, -1 when the text is no such list. */
static int ParseSamples(const char *text, int *samples) {
  int count = 0;
  while (*text) {
    char *end;
    long value = strtol(text, &end, 10);
    if (end == text || value < 1 || count == MAX_SAMPLES) return -1;
    samples[count++] = (int)value;
    if (*end == ',') ++end;
    else if (*end) return -1;
    text = end;
  }
  return count;
}

/* The load run: `jobs` jobs named "<prefix> iii", RAW from `raw_dir`
 * except every `gdi_every`-th one (0: none), with the samples after the
 * jobs listed in `samples`. Returns the exit code. */
static int PrintLoad(const char *printer, const char *prefix, int jobs, const char *raw_dir,
                     int gdi_every, const int *samples, int sample_count, const char *go_file) {
  static WCHAR document[MAX_NAME];
  char name[MAX_NAME], path[MAX_PATH], extra[64], now[32];
  int i, s, status;
  for (i = 1; i <= jobs; ++i) {
    snprintf(name, sizeof(name), "%s %03d", prefix, i);
    if (!ToWide(CP_ACP, name, document)) {
      fprintf(stderr, "printdoc: the document's name does not convert to UTF-16\n");
      return 2;
    }
    if (gdi_every > 0 && i % gdi_every == 0) {
      snprintf(extra, sizeof(extra), "Load job %03d", i);
      status = PrintGdi(printer, document, 1, NULL, extra, 0);
    } else {
      snprintf(path, sizeof(path), "%s\\%03d.ps", raw_dir, i);
      status = PrintRaw(printer, document, path);
    }
    NowText(now, sizeof(now));
    printf("load job %d %s\n", i, now);
    fflush(stdout);
    if (status != 0) {
      fprintf(stderr, "printdoc: job %d (%s) failed\n", i, name);
      return status;
    }
    for (s = 0; s < sample_count; ++s) {
      if (samples[s] != i) continue;
      NowText(now, sizeof(now));
      printf("load sample %d %s handles %ld\n", i, now, OwnHandleCount());
      fflush(stdout);
      if (go_file && !AwaitGoFile(go_file)) {
        fprintf(stderr, "printdoc: %s did not appear after job %d\n", go_file, i);
        return 1;
      }
      break;
    }
  }
  return 0;
}

static int Usage(void) {
  fprintf(stderr, "usage: printdoc PRINTER DOCUMENT [--name-file NAMEFILE] [--pages N] [--output FILE]\n"
                  "                [--abort-after K]\n"
                  "       printdoc PRINTER DOCUMENT [--name-file NAMEFILE] --raw FILE [--repeat N]\n"
                  "       printdoc PRINTER PREFIX --load N --raw-dir DIR [--gdi-every K]\n"
                  "                [--sample-after I,J,...] [--go-file FILE]\n");
  return 2;
}

int main(int argc, char **argv) {
  static WCHAR document[MAX_NAME];
  const char *output = NULL, *raw = NULL, *name_file = NULL, *raw_dir = NULL, *go_file = NULL;
  int pages = 3, abort_after = 0, repeat = 1, load = 0, gdi_every = 0, sample_count = 0;
  int samples[MAX_SAMPLES];
  int i;
  if (argc < 3) return Usage();
  for (i = 3; i < argc; i += 2) {
    if (i + 1 >= argc) return Usage();
    if (strcmp(argv[i], "--raw") == 0) {
      raw = argv[i + 1];
    } else if (strcmp(argv[i], "--name-file") == 0) {
      name_file = argv[i + 1];
    } else if (strcmp(argv[i], "--pages") == 0) {
      pages = atoi(argv[i + 1]);
      if (pages < 1) return Usage();
    } else if (strcmp(argv[i], "--repeat") == 0) {
      repeat = atoi(argv[i + 1]);
      if (repeat < 1) return Usage();
    } else if (strcmp(argv[i], "--abort-after") == 0) {
      abort_after = atoi(argv[i + 1]);
      if (abort_after < 1) return Usage();
    } else if (strcmp(argv[i], "--output") == 0) {
      output = argv[i + 1];
    } else if (strcmp(argv[i], "--load") == 0) {
      load = atoi(argv[i + 1]);
      if (load < 1) return Usage();
    } else if (strcmp(argv[i], "--raw-dir") == 0) {
      raw_dir = argv[i + 1];
    } else if (strcmp(argv[i], "--gdi-every") == 0) {
      gdi_every = atoi(argv[i + 1]);
      if (gdi_every < 0) return Usage();
    } else if (strcmp(argv[i], "--sample-after") == 0) {
      sample_count = ParseSamples(argv[i + 1], samples);
      if (sample_count < 0) return Usage();
    } else if (strcmp(argv[i], "--go-file") == 0) {
      go_file = argv[i + 1];
    } else {
      return Usage();
    }
  }
  if (load) {
    if (!raw_dir && gdi_every != 1) return Usage();
    return PrintLoad(argv[1], argv[2], load, raw_dir ? raw_dir : ".", gdi_every, samples,
                     sample_count, go_file);
  }
  if (name_file ? !ReadNameFile(name_file, document) : !ToWide(CP_ACP, argv[2], document)) {
    fprintf(stderr, "printdoc: the document's name does not convert to UTF-16\n");
    return 2;
  }
  if (raw) {
    int status = 0, job;
    for (job = 1; job <= repeat && status == 0; ++job) {
      status = PrintRaw(argv[1], document, raw);
      if (repeat > 1) PrintCounts(job);
    }
    return status;
  }
  return PrintGdi(argv[1], document, pages, output, NULL, abort_after);
}
