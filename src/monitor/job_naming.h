// The names a print job is given on disk and the command line its program
// is started with. Plain text work without any system call, so that it can
// be checked on any machine.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace job_naming {

// Longest file-name stem SafeFileStem gives, in UTF-16 units (a
// surrogate pair is two), in an output folder that leaves room for more.
inline constexpr std::size_t kMaxStemUnits = 96;

// Most numbered candidates tried for one name: "stem (9999)".
inline constexpr unsigned kMaxCandidates = 9999;

// The longest path the wide file functions take without the "\\?\"
// prefix, in UTF-16 units: MAX_PATH, the terminating NUL included.
inline constexpr std::size_t kMaxPath = 260;

// The longest extension of a job's files: ".pdf" (the copy's ".ps" is
// shorter).
inline constexpr std::size_t kLongestExtension = 4;

// How many UTF-16 units the stem of a job's files may have in an output
// folder of `folder_units` units (its trailing backslash included): what
// MAX_PATH leaves after the folder, the highest number " (9999)", the
// extension and the NUL, and at most kMaxStemUnits. Returns 0 when the
// folder leaves no room for a single unit.
std::size_t StemBudget(std::size_t folder_units);

// A name made usable as a file name without extension: \ / : * ? " < > |
// and control characters become '_', leading blanks and trailing dots and
// blanks go, the length is cut to `max_units` UTF-16 units (never parting
// a surrogate pair; a budget of 0 counts as 1, the shortest stem there
// is), a reserved device name (CON, PRN, AUX, NUL, COM1-COM9, LPT1-LPT9,
// COM and LPT with a superscript 1, 2 or 3, also with an extension such
// as "nul.txt") gets a leading '_'. An empty result is "document", as much
// of it as the budget takes.
std::u16string SafeFileStem(const std::u16string& name, std::size_t max_units = kMaxStemUnits);

// The stem of the PDF of the document named `document` (UTF-16 as the
// spooler hands it over): the application's decorations removed
// (document_name::Undecorated), then made safe within `max_units`
// (SafeFileStem).
std::u16string DocumentFileStem(const std::u16string& document,
                                std::size_t max_units = kMaxStemUnits);

// The stem of the n-th candidate for a file: n <= 1 gives `stem` itself,
// n >= 2 "stem (n)".
std::u16string NumberedStem(const std::u16string& stem, unsigned n);

// The name of the file the program writes before it gets the document's
// name: "tavrin-<job>-<process>-<tick>-<serial>.pdf", of ASCII letters,
// digits and '-' only, so that any program reads it literally (Ghostscript
// takes '%' for a page number). The process and the tick count keep the
// names of different runs apart, the serial those of one run.
std::string TemporaryPdfName(unsigned long job_id, unsigned long process_id,
                             unsigned long tick_count, unsigned long serial);

// Where a program that reads the job from a file reports, beside the
// temporary PDF `temp_pdf`: the same name with ".out" for ".pdf".
std::string ReportPath(const std::string& temp_pdf);

// How one attempt to use a numbered name went.
enum class Attempt { kDone, kNameTaken, kFailed };

// Tries the numbers `first`, `first` + 1, ... up to kMaxCandidates with
// `attempt` until one is done or fails for another reason than a name in
// use. Returns the number that was done; 0 when none was.
unsigned FirstFreeNumber(unsigned first, const std::function<Attempt(unsigned)>& attempt);

// The folder the PDF files go to: "<root>tavrin\output\" ; a root without
// its trailing backslash gets one, an empty root is "c:\".
std::string OutputFolder(const std::string& install_root);

// `arguments` with every "%1" replaced by `output_path`, each '%' of the
// path doubled (Ghostscript reads "%d" in its output file's name as the
// page number and "%%" as one '%'; the folder may hold one); "%%" of the
// arguments stands for one '%'; any other '%' is kept as it is.
std::string SubstituteOutput(const std::string& arguments, const std::string& output_path);

// The command line a program is started with: its path in quotes (quotes
// already around `command` are not doubled), then a blank and the
// arguments when there are any.
std::string CommandLine(const std::string& command, const std::string& arguments);

// `command` without the quotes around it and without surrounding blanks:
// the path given to CreateProcess as the application's name.
std::string UnquotedPath(const std::string& command);

}  // namespace job_naming
