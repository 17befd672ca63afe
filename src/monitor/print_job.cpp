// The print job of a port.
#include "monitor/print_job.h"

#include <winspool.h>

#include <cstdio>
#include <cstring>

#include "monitor/file_calls.h"
#include "monitor/job_naming.h"
#include "monitor/monitor_text.h"
#include "monitor/spooler_status.h"
#include "monitor/trace.h"

namespace {

// The longest the program may take after the end of its input.
constexpr DWORD kProgramTimeoutMs = 10 * 60 * 1000;
constexpr DWORD kOutputPollMs = 50;

// Whether the last bytes of the `size`-byte file at `path` hold `text`.
bool TailHolds(const std::string& path, DWORD size, const char* text) {
  char tail[64];
  const DWORD want = size < sizeof(tail) - 1 ? size : static_cast<DWORD>(sizeof(tail) - 1);
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD got = 0;
  const bool read = SetFilePointer(file, static_cast<LONG>(size - want), nullptr, FILE_BEGIN) !=
                        INVALID_SET_FILE_POINTER &&
                    ReadFile(file, tail, want, &got, nullptr);
  CloseHandle(file);
  if (!read) return false;
  tail[got] = '\0';
  // The PDF may hold NUL bytes before its end: look from each position.
  const std::size_t length = std::strlen(text);
  for (DWORD at = 0; at + length <= got; ++at)
    if (std::memcmp(tail + at, text, length) == 0) return true;
  return false;
}

// Text of a number, for the reasons of a failure.
std::string Number(unsigned long value) {
  char text[16];
  std::snprintf(text, sizeof(text), "%lu", value);
  return text;
}

}  // namespace

PrintJob::PrintJob(const std::wstring& port, const std::wstring& printer, DWORD job_id,
                   const std::wstring& document)
    : port_(Narrow(port)), printer_(Narrow(printer)), document_(Narrow(document)),
      document_log_(LogText(document)), job_id_(job_id) {}

PrintJob::~PrintJob() {
  ClosePsFile();
  if (printer_handle_) ClosePrinter(printer_handle_);
}

void PrintJob::ClosePsFile() {
  if (files_.ps_file != INVALID_HANDLE_VALUE) CloseHandle(files_.ps_file);
  files_.ps_file = INVALID_HANDLE_VALUE;
}

std::unique_ptr<PrintJob> PrintJob::Begin(ConfigRegistry& registry, const std::wstring& port,
                                          const std::wstring& printer, DWORD job_id,
                                          const std::wstring& document) {
  std::unique_ptr<PrintJob> job(new PrintJob(port, printer, job_id, document));
  // The ANSI call exists on both families. Without the printer (Wine's
  // spooler names none) the job still runs; only its end cannot be reported.
  std::string& printer_name = job->printer_;
  if (!printer_name.empty() && !OpenPrinterA(&printer_name[0], &job->printer_handle_, nullptr)) {
    Trace("OpenPrinter %s failed: %lu", printer_name.c_str(), GetLastError());
    job->printer_handle_ = nullptr;
  }
  Trace("StartDocPort %s, job %lu, printer %s, document %s", job->port_.c_str(), job_id,
        printer_name.empty() ? "(none)" : printer_name.c_str(), job->document_.c_str());

  const LONG read = ReadPortConfig(registry, port, &job->config_);
  if (read != ERROR_SUCCESS) Trace("port configuration of %s: %ld", job->port_.c_str(), read);
  job->folder_ = job_naming::OutputFolder(ReadInstallRoot());
  const std::string log_path =
      job->config_.log_name.empty() ? job->folder_ + "tavmon.log" : job->config_.log_name;
  job->log_.reset(new JobLog(log_path, job->config_.log_use, job->config_.log_debug,
                             LogText(port), job->document_log_));
  job->log_->Begin();

  DWORD error = MakeFolders(job->folder_);
  if (error == ERROR_SUCCESS)
    error = ClaimJobFiles(job->folder_, job_naming::DocumentFileStem(ToUtf16(document)), job_id,
                          &job->files_);
  if (error != ERROR_SUCCESS) {
    // Nothing can be written: the spooler keeps the job.
    Trace("StartDocPort %s: no file in %s: %lu", job->port_.c_str(), job->folder_.c_str(), error);
    job->log_->Failure("job %lu refused: no file can be made in %s (error %lu)", job_id,
                       LogTextFromAnsi(job->folder_).c_str(), error);
    SetLastError(error);
    return nullptr;
  }
  if (job->config_.output != 1)
    Trace("Output %lu is not known: writing the file the monitor chooses", job->config_.output);
  const std::string application = job_naming::UnquotedPath(job->config_.command);
  job->command_line_ = job_naming::CommandLine(
      job->config_.command,
      job_naming::SubstituteOutput(job->config_.arguments, job->files_.temp_pdf));
  job->deferred_ = !application.empty() && !IsWindowsProgram(application);
  if (job->deferred_)
    Trace("job %lu: %s is no Windows program: it will read the job from %s", job_id,
          application.c_str(), Narrow(job->files_.ps).c_str());
  else
    job->StartProgram(std::wstring());
  job->log_->Debug("StartDocPort job %lu, printer %s, output %s (written as %s), command line %s%s",
                   job_id, printer_name.empty() ? "(none)" : LogTextFromAnsi(printer_name).c_str(),
                   LogText(job->files_.pdf).c_str(), LogTextFromAnsi(job->files_.temp_pdf).c_str(),
                   LogTextFromAnsi(job->command_line_).c_str(),
                   job->deferred_ ? " (started at the end)"
                                  : job->start_error_ ? " (did not start)" : "");
  return job;
}

void PrintJob::StartProgram(const std::wstring& input_file) {
  const std::string application = job_naming::UnquotedPath(config_.command);
  if (application.empty()) {
    start_error_ = ERROR_FILE_NOT_FOUND;
    Trace("job %lu: the port has no Command", job_id_);
    return;
  }
  // The program's own output goes to the log when there is one; where its
  // end cannot be seen, to a file of its own that tells how it went.
  const std::string output_log =
      !report_.empty() ? report_ : config_.log_use ? log_->path() : std::string();
  program_ = ChildProcess::Start(application, command_line_, folder_,
                                 static_cast<WORD>(config_.show_window), input_file, output_log,
                                 &start_error_);
  Trace("job %lu: %s %s", job_id_, program_ ? "started" : "could not start",
        command_line_.c_str());
  if (!program_) Trace("job %lu: CreateProcess failed: %lu", job_id_, start_error_);
}

BOOL PrintJob::Accept(const BYTE* data, DWORD size, DWORD* written) {
  *written = 0;
  if (copy_error_ == ERROR_SUCCESS && files_.ps_file != INVALID_HANDLE_VALUE) {
    copy_error_ = WriteAll(files_.ps_file, data, size);
    if (copy_error_ != ERROR_SUCCESS) Trace("job %lu: copy failed: %lu", job_id_, copy_error_);
  }
  if (program_ && pipe_error_ == ERROR_SUCCESS) {
    pipe_error_ = program_->Write(data, size);
    if (pipe_error_ == ERROR_SUCCESS)
      bytes_to_program_ += size;
    else
      Trace("job %lu: the program took no more data: %lu", job_id_, pipe_error_);
  }
  const bool to_program = (program_ && pipe_error_ == ERROR_SUCCESS) || deferred_;
  const bool to_copy = copy_error_ == ERROR_SUCCESS && files_.ps_file != INVALID_HANDLE_VALUE;
  log_->Debug("WritePort job %lu, %lu bytes%s%s", job_id_, size, to_program ? "" : ", not to the program",
              to_copy ? "" : ", not to the copy");
  if ((!to_program || deferred_) && !to_copy) {
    SetLastError(copy_error_ != ERROR_SUCCESS ? copy_error_ : pipe_error_);
    return FALSE;
  }
  bytes_taken_ += size;
  *written = size;
  Trace("WritePort %s, job %lu, %lu bytes", port_.c_str(), job_id_, size);
  return TRUE;
}

DWORD PrintJob::AwaitOutput() const {
  DWORD waited = 0;
  for (;;) {
    DWORD size = 0;
    if (FileSize(files_.temp_pdf, &size) && size > 0) return size;
    if (waited >= config_.delay_ms) return 0;
    Sleep(kOutputPollMs);
    waited += kOutputPollMs;
  }
}

DWORD PrintJob::AwaitCompletePdf(DWORD timeout_ms) const {
  static const char kEnd[] = "%%EOF";
  const DWORD settle = config_.delay_ms > kOutputPollMs ? config_.delay_ms : kOutputPollMs;
  DWORD last_size = 0, unchanged = 0;
  for (DWORD waited = 0; waited < timeout_ms; waited += kOutputPollMs) {
    DWORD size = 0;
    if (FileSize(files_.temp_pdf, &size) && size > 0 && size == last_size) {
      unchanged += kOutputPollMs;
      if (unchanged >= settle && TailHolds(files_.temp_pdf, size, kEnd)) return size;
    } else {
      unchanged = 0;
    }
    last_size = size;
    Sleep(kOutputPollMs);
  }
  return 0;
}

std::string PrintJob::TakeReport() {
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
      if (config_.log_use) AppendToFile(log_->path(), buffer, got);
    }
    CloseHandle(file);
  }
  DeleteFileA(report_.c_str());
  const std::size_t end = first.find_first_of("\r\n");
  if (end != std::string::npos) first.resize(end);
  return first;
}

DWORD PrintJob::Outcome(std::string* reason) {
  if (deferred_) {
    report_ = files_.temp_pdf.substr(0, files_.temp_pdf.size() - 4) + ".out";
    DeleteFileA(report_.c_str());
    StartProgram(files_.ps);
  }
  if (!program_) {
    *reason = "the program could not be started (error " + Number(start_error_) + ")";
    return start_error_ != ERROR_SUCCESS ? start_error_ : ERROR_FILE_NOT_FOUND;
  }
  program_->CloseInput();
  DWORD exit_code = 0;
  const bool exit_known = program_->can_wait();
  DWORD size = 0;
  if (!exit_known) {
    size = AwaitCompletePdf(kProgramTimeoutMs);
    const std::string report = TakeReport();
    if (size == 0) {
      *reason = "no complete PDF within 10 minutes (the program's end cannot be seen here)";
      return ERROR_TIMEOUT;
    }
    if (!report.empty()) {
      *reason = "the program reported \"" + report + "\"";
      return ERROR_GEN_FAILURE;
    }
  } else if (program_->Wait(kProgramTimeoutMs, &exit_code) != ERROR_SUCCESS) {
    program_->Terminate();
    *reason = "the program did not end within 10 minutes";
    return ERROR_TIMEOUT;
  } else if (exit_code != 0) {
    *reason = "the program ended with exit code " + Number(exit_code);
    return ERROR_GEN_FAILURE;
  } else {
    size = AwaitOutput();
  }
  if (pipe_error_ != ERROR_SUCCESS) {
    *reason = "the program stopped reading after " + Number(bytes_to_program_) + " of " +
              Number(bytes_taken_) + " bytes (error " + Number(pipe_error_) + ")";
    return pipe_error_;
  }
  if (size == 0) {
    DWORD ignored = 0;
    *reason = FileSize(files_.temp_pdf, &ignored) ? "the program left an empty output file"
                                              : "the program left no output file";
    return ERROR_FILE_NOT_FOUND;
  }
  return ERROR_SUCCESS;
}

void PrintJob::KeepPdf() {
  DWORD size = 0;
  FileSize(files_.temp_pdf, &size);
  const DWORD error = PlaceFinishedPdf(&files_);
  if (error != ERROR_SUCCESS) {
    // The PDF is safe under its temporary name; the log tells whose it is.
    Trace("job %lu: %s could not be renamed to %s: %lu", job_id_, files_.temp_pdf.c_str(),
          Narrow(files_.pdf).c_str(), error);
    log_->Failure("job %lu: the PDF stays %s: it could not be renamed to %s (error %lu)", job_id_,
                  LogTextFromAnsi(files_.temp_pdf).c_str(), LogText(files_.pdf).c_str(), error);
  }
  DeletePath(files_.ps);
  const std::string made = error == ERROR_SUCCESS ? LogText(files_.pdf)
                                                  : LogTextFromAnsi(files_.temp_pdf);
  Trace("job %lu: made %s (%lu bytes)", job_id_,
        error == ERROR_SUCCESS ? Narrow(files_.pdf).c_str() : files_.temp_pdf.c_str(), size);
  log_->Debug("EndDocPort job %lu, %lu bytes, made %s (%lu bytes)", job_id_, bytes_taken_,
              made.c_str(), size);
}

BOOL PrintJob::Finish() {
  if (finished_) return TRUE;
  finished_ = true;
  Trace("EndDocPort %s, job %lu, %lu bytes in all", port_.c_str(), job_id_, bytes_taken_);
  ClosePsFile();
  std::string reason;
  const DWORD error = Outcome(&reason);
  program_.reset();
  if (error == ERROR_SUCCESS) {
    KeepPdf();
    if (config_.print_error) ReportPortStatus(port_, std::string());
    ReportJobSent(printer_handle_, job_id_);
    return TRUE;
  }

  // What a failed program left is no result: the data stays in the copy.
  DeleteFileA(files_.temp_pdf.c_str());
  const std::string ps = LogText(files_.ps);
  const std::string kept = copy_error_ == ERROR_SUCCESS
                               ? "PostScript kept in " + ps
                               : "PostScript copy " + ps + " incomplete (error " +
                                     Number(copy_error_) + ")";
  Trace("job %lu failed: %s; PostScript in %s", job_id_, reason.c_str(),
        Narrow(files_.ps).c_str());
  log_->Failure("job %lu failed: %s; command line %s; %s", job_id_, reason.c_str(),
                LogTextFromAnsi(command_line_).c_str(), kept.c_str());
  log_->Debug("EndDocPort job %lu, %lu bytes, error %lu", job_id_, bytes_taken_, error);
  // The data is safe in the copy: the job is marked failed and then leaves
  // the queue, so that it does not hold the jobs after it.
  ReportJobFailed(printer_handle_, job_id_, "Not converted to PDF: " + reason);
  ReportJobSent(printer_handle_, job_id_);
  if (!config_.print_error) return TRUE;
  ReportPortStatus(port_, "TAVRIN: \"" + document_ + "\" was not converted: " + reason);
  SetLastError(error);
  return FALSE;
}
