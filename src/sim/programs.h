// Stand-ins for the programs the port runs, for Machine::InstallProgram:
// Ghostscript as the port's "Command" runs it, and the ways a program can
// fail a job.
#pragma once

#include "sim/machine.h"

namespace sim::programs {

// Ghostscript writing a PDF: reads its standard input to the end and writes
// the file its command line names with -sOutputFile= (quotes removed): a
// "%PDF-1.4" header, the input's bytes, and "%%EOF". Exit code 0; 1 when it
// cannot write the file (its standard output says why, as Ghostscript's
// does).
Program PdfWriter();

// A program that never reads its input and never ends by itself.
Program Hangs();

// Reads `bytes` bytes of its input, then ends with `exit_code` without
// reading more (its end breaks the pipe) and without writing a PDF.
Program StopsReadingAfter(DWORD bytes, DWORD exit_code);

}  // namespace sim::programs
