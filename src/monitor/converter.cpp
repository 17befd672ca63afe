// Running the port's program for a job: piped or deferred.
#include "monitor/converter.h"

#include <cstring>

#include "monitor/file_calls.h"
#include "monitor/job_files.h"
#include "monitor/job_log.h"
#include "monitor/job_naming.h"
#include "monitor/monitor_text.h"
#include "monitor/trace.h"

namespace {

using job_verdict::JobFacts;
using job_verdict::ProgramEnd;

constexpr DWORD kOutputPollMs = 50;

// Whether the last bytes of the `size`-byte file at `path` hold `text`.
bool TailHolds(const std::string& path, ULONGLONG size, const char* text) {
  char tail[64];
  const job_verdict::FileTail span = job_verdict::TailOf(size, sizeof(tail) - 1);
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  // With the high half given, INVALID_SET_FILE_POINTER is also the low
  // half of a position: only the last error tells a failure.
  LONG high = static_cast<LONG>(span.offset_high);
  SetLastError(NO_ERROR);
  const bool moved =
      SetFilePointer(file, static_cast<LONG>(span.offset_low), &high, FILE_BEGIN) !=
          INVALID_SET_FILE_POINTER ||
      GetLastError() == NO_ERROR;
  DWORD got = 0;
  const bool read = moved && ReadFile(file, tail, span.count, &got, nullptr);
  CloseHandle(file);
  if (!read) return false;
  tail[got] = '\0';
  // The PDF may hold NUL bytes before its end: look from each position.
  const std::size_t length = std::strlen(text);
  for (DWORD at = 0; at + length <= got; ++at)
    if (std::memcmp(tail + at, text, length) == 0) return true;
  return false;
}

constexpr char kPdfEnd[] = "%%EOF";

// The piped way: the program reads the job as it comes.
class PipedConverter : public Converter {
 public:
  explicit PipedConverter(const ConverterSetup& setup) : Converter(setup) {
    StartProgram(std::wstring(), setup.output_log);
  }

  bool Feed(const BYTE* data, DWORD size) override {
    if (!program_ || feed_error_ != ERROR_SUCCESS) return false;
    feed_error_ = program_->Write(data, size);
    if (feed_error_ != ERROR_SUCCESS) {
      Trace("job %lu: the program took no more data: %lu",
            static_cast<unsigned long>(setup_.job_id), static_cast<unsigned long>(feed_error_));
      return false;
    }
    bytes_to_program_ += size;
    return true;
  }
  bool ReadsCopy() const override { return false; }
  const char* StartNote() const override { return program_ ? "" : " (did not start)"; }
};

// The deferred way: the program reads the .ps at the job's end.
class DeferredConverter : public Converter {
 public:
  explicit DeferredConverter(const ConverterSetup& setup)
      : Converter(setup),
        report_(job_naming::ReportPath(setup.temp_pdf)) {
    Trace("job %lu: %s is no Windows program: it will read the job from %s",
          static_cast<unsigned long>(setup.job_id), setup.application.c_str(),
          TraceText(setup.ps).c_str());
  }
  ~DeferredConverter() override { DeleteFileA(report_.c_str()); }

  bool Feed(const BYTE*, DWORD) override { return true; }
  bool ReadsCopy() const override { return true; }
  const char* StartNote() const override { return " (started at the end)"; }

 protected:
  void BeforeEnd() override {
    DeleteFileA(report_.c_str());
    StartProgram(setup_.ps, report_);
  }
  // The first line the program wrote; all it wrote is appended to the
  // port's log when there is one.
  void AfterEnd(JobFacts* facts) override {
    std::string first;
    HANDLE file = CreateFileA(report_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      char buffer[4096];
      DWORD got = 0;
      bool first_chunk = true;
      while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0) {
        if (first_chunk) first.assign(buffer, got);
        first_chunk = false;
        if (!setup_.output_log.empty()) AppendToFile(setup_.output_log, buffer, got);
      }
      CloseHandle(file);
    }
    DeleteFileA(report_.c_str());
    const std::size_t end = first.find_first_of("\r\n");
    if (end != std::string::npos) first.resize(end);
    facts->report = first;
  }

 private:
  std::string report_;  // the file the program's output goes to
};

// Waits up to `delay_ms` for the PDF at `path` to be there and not empty.
void AwaitOutput(const std::string& path, DWORD delay_ms) {
  for (DWORD waited = 0;; waited += kOutputPollMs) {
    ULONGLONG size = 0;
    if ((FileSize(path, &size) && size > 0) || waited >= delay_ms) return;
    Sleep(kOutputPollMs);
  }
}

// Where the program's end cannot be seen: waits at most `timeout_ms` for a
// complete PDF at `path` that has not grown for `delay_ms`.
void AwaitCompletePdf(const std::string& path, DWORD delay_ms, DWORD timeout_ms) {
  const DWORD settle = delay_ms > kOutputPollMs ? delay_ms : kOutputPollMs;
  ULONGLONG last_size = 0;
  DWORD unchanged = 0;
  for (DWORD waited = 0; waited < timeout_ms; waited += kOutputPollMs) {
    ULONGLONG size = 0;
    if (FileSize(path, &size) && size > 0 && size == last_size) {
      unchanged += kOutputPollMs;
      if (unchanged >= settle && TailHolds(path, size, kPdfEnd)) return;
    } else {
      unchanged = 0;
    }
    last_size = size;
    Sleep(kOutputPollMs);
  }
}

}  // namespace

std::string ProgramFolder(const std::string& application) {
  const std::size_t slash = application.find_last_of("\\/");
  if (slash == std::string::npos) return std::string();
  // "C:\gs.exe" runs in "C:\", not in the drive's current folder "C:".
  const bool root = slash == 2 && application[1] == ':';
  return application.substr(0, root ? slash + 1 : slash);
}

void ReadPdfFacts(const std::string& path, JobFacts* facts) {
  ULONGLONG size = 0;
  facts->pdf_exists = FileSize(path, &size);
  facts->pdf_size = facts->pdf_exists ? size : 0;
  facts->pdf_complete = facts->pdf_size > 0 && TailHolds(path, size, kPdfEnd);
}

Converter::~Converter() = default;

std::unique_ptr<Converter> Converter::Make(const ConverterSetup& setup) {
  if (!setup.application.empty() && !IsWindowsProgram(setup.application))
    return std::unique_ptr<Converter>(new DeferredConverter(setup));
  return std::unique_ptr<Converter>(new PipedConverter(setup));
}

void Converter::StartProgram(const std::wstring& input_file, const std::string& output) {
  if (setup_.application.empty()) {
    start_error_ = ERROR_FILE_NOT_FOUND;
    Trace("job %lu: the port has no Command", static_cast<unsigned long>(setup_.job_id));
    return;
  }
  program_ = ChildProcess::Start(setup_.application, setup_.command_line, setup_.folder,
                                 setup_.show_window, input_file, output, setup_.timeout_ms,
                                 &start_error_);
  Trace("job %lu: %s %s", static_cast<unsigned long>(setup_.job_id),
        program_ ? "started" : "could not start", setup_.command_line.c_str());
  if (!program_)
    Trace("job %lu: CreateProcess failed: %lu", static_cast<unsigned long>(setup_.job_id),
          static_cast<unsigned long>(start_error_));
}

void Converter::AwaitProgram(JobFacts* facts) {
  program_->CloseInput();
  if (!program_->can_wait()) {
    facts->end = ProgramEnd::kUnseen;
    AwaitCompletePdf(setup_.temp_pdf, setup_.delay_ms, setup_.timeout_ms);
    return;
  }
  DWORD exit_code = 0;
  if (program_->Wait(setup_.timeout_ms, &exit_code) != ERROR_SUCCESS) {
    program_->Terminate();
    facts->end = ProgramEnd::kOverran;
  } else if (program_->stalled()) {
    facts->end = ProgramEnd::kStalled;
  } else {
    facts->end = ProgramEnd::kExited;
    facts->exit_code = exit_code;
    if (exit_code == 0) AwaitOutput(setup_.temp_pdf, setup_.delay_ms);
  }
}

void Converter::Finish(JobFacts* facts) {
  BeforeEnd();
  facts->timeout_seconds = setup_.timeout_ms / 1000;
  facts->pipe_error = feed_error_;
  facts->bytes_to_program = bytes_to_program_;
  if (!program_) {
    facts->end = ProgramEnd::kNotStarted;
    facts->start_error = start_error_;
    return;
  }
  AwaitProgram(facts);
  program_.reset();
  AfterEnd(facts);
  ReadPdfFacts(setup_.temp_pdf, facts);
}

void Converter::Abandon() {
  if (program_) program_->Terminate();
  program_.reset();
}
