// The names a print job is given on disk and the command line its program
// is started with. Plain text work without any system call, so that it can
// be checked on any machine.
#pragma once

#include <cstddef>
#include <string>

namespace job_naming {

// Longest file-name stem SafeFileStem gives, in characters: with the
// output folder, a " (NNN)" and the extension it stays well inside MAX_PATH.
inline constexpr std::size_t kMaxStemChars = 96;

// The document's name made usable as a file name without extension:
// \ / : * ? " < > | and control characters become '_', leading blanks and
// trailing dots and blanks go, a reserved device name (CON, PRN, AUX, NUL,
// COM1-COM9, LPT1-LPT9, also with an extension such as "nul.txt") gets a
// leading '_', the length is cut to kMaxStemChars. An empty result is
// "document".
std::wstring SafeFileStem(const std::wstring& document);

// The stem of the n-th candidate for a file: n <= 1 gives `stem` itself,
// n >= 2 "stem (n)".
std::wstring NumberedStem(const std::wstring& stem, unsigned n);

// The folder the PDF files go to: "<root>tavrin\output\" ; a root without
// its trailing backslash gets one, an empty root is "c:\".
std::string OutputFolder(const std::string& install_root);

// `arguments` with every "%1" replaced by `output_path`; "%%" stands for
// one '%'; any other '%' is kept as it is.
std::string SubstituteOutput(const std::string& arguments, const std::string& output_path);

// The command line a program is started with: its path in quotes (quotes
// already around `command` are not doubled), then a blank and the
// arguments when there are any.
std::string CommandLine(const std::string& command, const std::string& arguments);

// `command` without the quotes around it and without surrounding blanks:
// the path given to CreateProcess as the application's name.
std::string UnquotedPath(const std::string& command);

}  // namespace job_naming
