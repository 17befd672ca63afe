// Stand-ins for the port's programs (see programs.h). They run on their own
// threads and use the machine's Win32 functions as a real program would.
#include "sim/programs.h"

#include <algorithm>

#include "sim/win32_api.h"

namespace sim::programs {

namespace {

// Reads `limit` bytes of `input` at most (all of it when limit is 0),
// appending them to *data. Returns whether the input ended.
bool ReadInput(HANDLE input, DWORD limit, std::string* data) {
  char buffer[4096];
  for (;;) {
    DWORD want = sizeof(buffer);
    if (limit > 0) {
      if (data->size() >= limit) return false;
      want = std::min<DWORD>(want, limit - static_cast<DWORD>(data->size()));
    }
    DWORD got = 0;
    if (!input || !ReadFile(input, buffer, want, &got, nullptr) || got == 0) return true;
    data->append(buffer, got);
  }
}

// Writes all of `text` to `handle`; ignores failures, as a program writing
// its report does.
void WriteText(HANDLE handle, const std::string& text) {
  DWORD written = 0;
  if (handle) WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

// The path a command line names with -sOutputFile=, quotes removed; empty
// without one.
std::string OutputFileOf(const std::string& command_line) {
  static const char kSwitch[] = "-sOutputFile=";
  const size_t at = command_line.find(kSwitch);
  if (at == std::string::npos) return std::string();
  size_t from = at + sizeof(kSwitch) - 1;
  if (from < command_line.size() && command_line[from] == '"') {
    const size_t close = command_line.find('"', from + 1);
    return command_line.substr(from + 1, close == std::string::npos ? std::string::npos
                                                                     : close - from - 1);
  }
  const size_t blank = command_line.find(' ', from);
  return command_line.substr(from, blank == std::string::npos ? std::string::npos : blank - from);
}

// Ghostscript's work: the input into a PDF at the command line's output.
DWORD WritePdf(const ProgramStart& start) {
  std::string data;
  ReadInput(start.input, 0, &data);
  const std::string path = OutputFileOf(start.command_line);
  HANDLE pdf = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  if (pdf == INVALID_HANDLE_VALUE) {
    WriteText(start.output, "**** Could not open the file " + path + " .\n");
    return 1;
  }
  const std::string body = "%PDF-1.4\n" + data + "\n%%EOF\n";
  DWORD written = 0;
  const BOOL ok = WriteFile(pdf, body.data(), static_cast<DWORD>(body.size()), &written, nullptr);
  CloseHandle(pdf);
  if (!ok) {
    WriteText(start.output, "**** Could not write the file " + path + " .\n");
    return 1;
  }
  return 0;
}

}  // namespace

Program PdfWriter() { return WritePdf; }

Program Hangs() {
  return [](const ProgramStart&) -> DWORD {
    WaitForProgramEnd();
    return 0;
  };
}

Program StopsReadingAfter(DWORD bytes, DWORD exit_code) {
  return [bytes, exit_code](const ProgramStart& start) -> DWORD {
    std::string data;
    ReadInput(start.input, bytes, &data);
    return exit_code;
  };
}

}  // namespace sim::programs
