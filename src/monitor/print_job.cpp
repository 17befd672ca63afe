// The print job of a port.
#include "monitor/print_job.h"

#include "common/last_error.h"
#include "common/win32.h"
#include "monitor/file_calls.h"
#include "monitor/job_naming.h"
#include "monitor/monitor_text.h"
#include "monitor/spooler_status.h"
#include "monitor/trace.h"
#include "monitor/user_folder.h"

namespace {

using job_verdict::JobFacts;
using job_verdict::Outcome;
using job_verdict::Verdict;

// Whether `path` begins with `prefix`, ASCII letters in either case.
bool StartsWithNoCase(const std::string& path, const std::string& prefix) {
  if (path.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    char a = path[i], b = prefix[i];
    if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
    if (b >= 'A' && b <= 'Z') b = static_cast<char>(b - 'A' + 'a');
    if (a != b) return false;
  }
  return true;
}

}  // namespace

PrintJob::PrintJob(const std::wstring& port, const std::wstring& printer, DWORD job_id,
                   const std::wstring& document)
    : port_(Narrow(port)), printer_(Narrow(printer)), document_(Narrow(document)),
      document_log_(LogText(document)), job_id_(job_id) {}

PrintJob::~PrintJob() {
  // Closing the printer and the files may change the last error: the
  // spooler is to read the job's own.
  LastErrorKeeper keep;
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
    Trace("OpenPrinter %s failed: %lu", printer_name.c_str(),
          static_cast<unsigned long>(GetLastError()));
    job->printer_handle_ = nullptr;
  }
  Trace("StartDocPort %s, job %lu, printer %s, document %s", job->port_.c_str(),
        static_cast<unsigned long>(job_id), printer_name.empty() ? "(none)" : printer_name.c_str(),
        TraceText(document).c_str());

  const LONG read = ReadPortConfig(registry, port, &job->config_);
  if (read != ERROR_SUCCESS)
    Trace("port configuration of %s: %ld", job->port_.c_str(), static_cast<long>(read));
  const std::string root = ReadInstallRoot();
  const std::string output = job_naming::OutputFolder(root);
  // On the NT family each user's files go to a folder of the user's own;
  // Windows 9x has no users.
  const bool per_user = OnNtFamily();
  JobOwner owner;
  job->folder_ = output;
  if (per_user) {
    owner = FindJobOwner(job->printer_handle_, job_id);
    job->folder_ += UserFolderName(owner) + "\\";
  }
  const std::string log_path =
      job->config_.log_name.empty() ? output + "tavmon.log" : job->config_.log_name;
  // The monitor writes as LocalSystem in folders others may write to: a
  // link there (to the system folder, say) would have it write, rename or
  // delete wherever the link leads. The folders from the install root's
  // "tavrin" down and every file of the job are looked at first; the log
  // likewise, its folders too where it lies in the install root.
  const std::string folder_link = FirstLink(job->folder_, root.size());
  const std::string log_link =
      FirstLink(log_path, StartsWithNoCase(log_path, root) ? root.size() : log_path.size());
  if (!log_link.empty())
    Trace("job %lu: %s is a link: nothing goes to the log %s", static_cast<unsigned long>(job_id),
          log_link.c_str(), log_path.c_str());
  job->log_.reset(new JobLog(log_path, job->config_.log_use && log_link.empty(),
                             job->config_.log_debug && log_link.empty(), LogText(port),
                             job->document_log_));
  job->log_->Begin();

  // A log in use that is a link refuses the job too: its lines are part
  // of what the job writes.
  const bool log_used = job->config_.log_use || job->config_.log_debug;
  const std::string link = !folder_link.empty() ? folder_link : log_used ? log_link : std::string();
  if (!link.empty()) {
    job->RefuseLink(Widen(link.c_str()));
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  DWORD error = per_user ? MakeOutputFolder(output) : MakeFolders(output);
  if (error == ERROR_SUCCESS && per_user) {
    // Nobody but the administrators can be let in.
    if (owner.sid.empty())
      job->log_->Failure("job %lu: \"%s\" is no user account of this machine: its files go to %s, "
                         "which only administrators may open",
                         static_cast<unsigned long>(job_id), LogText(owner.name).c_str(),
                         LogTextFromAnsi(job->folder_).c_str());
    error = MakeUserFolder(job->folder_, owner);
  }
  if (error == ERROR_SUCCESS)
    error = ClaimJobFiles(job->folder_, ToUtf16(document), job_id, &job->files_);
  if (!job->files_.link.empty()) {
    job->RefuseLink(job->files_.link);
    SetLastError(error);
    return nullptr;
  }
  if (error != ERROR_SUCCESS) {
    // Nothing can be written: the spooler keeps the job. The folder that
    // could not be used: the output folder when a file stands in its
    // place, else the job's own.
    const std::string& folder = FileStandsAt(output) ? output : job->folder_;
    Trace("StartDocPort %s: no file in %s: %lu", job->port_.c_str(), folder.c_str(),
          static_cast<unsigned long>(error));
    job->log_->Failure("%s", job_verdict::RefusalLine(job_id, LogTextFromAnsi(folder), error,
                                                      FileStandsAt(folder))
                                 .c_str());
    SetLastError(error);
    return nullptr;
  }
  if (job->config_.output != 1)
    Trace("Output %lu is not known: writing the file the monitor chooses",
          static_cast<unsigned long>(job->config_.output));
  job->command_line_ = job_naming::CommandLine(
      job->config_.command,
      job_naming::SubstituteOutput(job->config_.arguments, job->files_.temp_pdf));
  ConverterSetup setup;
  setup.job_id = job_id;
  setup.application = job_naming::UnquotedPath(job->config_.command);
  setup.command_line = job->command_line_;
  setup.folder = ProgramFolder(setup.application);
  setup.show_window = static_cast<WORD>(job->config_.show_window);
  setup.output_log = job->log_->enabled() ? job->log_->path() : std::string();
  setup.ps = job->files_.ps;
  setup.temp_pdf = job->files_.temp_pdf;
  setup.delay_ms = job->config_.delay_ms;
  setup.timeout_ms = job_verdict::TimeoutSeconds(job->config_.timeout_s) * 1000;
  job->converter_ = Converter::Make(setup);
  job->log_->Debug(
      "StartDocPort job %lu, printer %s, output %s (written as %s), command line %s%s",
      static_cast<unsigned long>(job_id),
      printer_name.empty() ? "(none)" : LogTextFromAnsi(printer_name).c_str(),
      LogText(job->files_.pdf).c_str(), LogTextFromAnsi(job->files_.temp_pdf).c_str(),
      LogTextFromAnsi(job->command_line_).c_str(), job->converter_->StartNote());
  return job;
}

void PrintJob::RefuseLink(const std::wstring& link) {
  Trace("StartDocPort %s: job %lu refused: %s is a link", port_.c_str(),
        static_cast<unsigned long>(job_id_), TraceText(link).c_str());
  log_->Failure("%s", job_verdict::LinkRefusalLine(job_id_, LogText(link)).c_str());
  ReportJobFailed(printer_handle_, job_id_, "Refused: " + Narrow(link, '_') + " is a link");
}

BOOL PrintJob::Accept(const BYTE* data, DWORD size, DWORD* written) {
  *written = 0;
  if (copy_error_ == ERROR_SUCCESS && files_.ps_file != INVALID_HANDLE_VALUE) {
    copy_error_ = WriteAll(files_.ps_file, data, size);
    if (copy_error_ != ERROR_SUCCESS)
      Trace("job %lu: copy failed: %lu", static_cast<unsigned long>(job_id_),
            static_cast<unsigned long>(copy_error_));
  }
  const bool to_program = converter_->Feed(data, size);
  const bool to_copy = copy_error_ == ERROR_SUCCESS && files_.ps_file != INVALID_HANDLE_VALUE;
  log_->Debug("WritePort job %lu, %lu bytes%s%s", static_cast<unsigned long>(job_id_),
              static_cast<unsigned long>(size), to_program ? "" : ", not to the program",
              to_copy ? "" : ", not to the copy");
  if (!to_copy && (!to_program || converter_->ReadsCopy())) {
    SetLastError(copy_error_ != ERROR_SUCCESS ? copy_error_ : converter_->feed_error());
    return FALSE;
  }
  bytes_taken_ += size;
  *written = size;
  Trace("WritePort %s, job %lu, %lu bytes", port_.c_str(), static_cast<unsigned long>(job_id_),
        static_cast<unsigned long>(size));
  return TRUE;
}

void PrintJob::KeepPdf() {
  ULONGLONG size = 0;
  FileSize(files_.temp_pdf, &size);
  const std::string bytes = std::to_string(size);
  const DWORD error = PlaceFinishedPdf(&files_);
  if (error != ERROR_SUCCESS) {
    // The PDF is safe under its temporary name; the log tells whose it is.
    Trace("job %lu: %s could not be renamed to %s: %lu", static_cast<unsigned long>(job_id_),
          files_.temp_pdf.c_str(), TraceText(files_.pdf).c_str(),
          static_cast<unsigned long>(error));
    log_->Failure("job %lu: the PDF stays %s: it could not be renamed to %s (error %lu)",
                  static_cast<unsigned long>(job_id_), LogTextFromAnsi(files_.temp_pdf).c_str(),
                  LogText(files_.pdf).c_str(), static_cast<unsigned long>(error));
  }
  DeletePath(files_.ps);
  const std::string made = error == ERROR_SUCCESS ? LogText(files_.pdf)
                                                  : LogTextFromAnsi(files_.temp_pdf);
  Trace("job %lu: made %s (%s bytes)", static_cast<unsigned long>(job_id_),
        error == ERROR_SUCCESS ? TraceText(files_.pdf).c_str() : files_.temp_pdf.c_str(),
        bytes.c_str());
  log_->Debug("EndDocPort job %lu, %lu bytes, made %s (%s bytes)",
              static_cast<unsigned long>(job_id_), static_cast<unsigned long>(bytes_taken_),
              made.c_str(), bytes.c_str());
}

BOOL PrintJob::Finish() {
  if (finished_) return TRUE;
  finished_ = true;
  Trace("EndDocPort %s, job %lu, %lu bytes in all", port_.c_str(),
        static_cast<unsigned long>(job_id_), static_cast<unsigned long>(bytes_taken_));
  JobFacts facts;
  facts.bytes_taken = bytes_taken_;
  facts.copy_error = copy_error_;
  if (files_.ps_file != INVALID_HANDLE_VALUE) {
    const DWORD size = GetFileSize(files_.ps_file, nullptr);
    facts.copy_bytes = size == INVALID_FILE_SIZE ? 0 : size;
  }
  ClosePsFile();
  facts.cancelled = JobCancelled(printer_handle_, job_id_);
  if (facts.cancelled)
    converter_->Abandon();
  else
    converter_->Finish(&facts);
  converter_.reset();
  facts.output_disk_full = FolderDiskFull(folder_);
  const Verdict verdict = job_verdict::Judge(facts);
  switch (verdict.outcome) {
    case Outcome::kDone:
      KeepPdf();
      if (config_.print_error) ReportPortStatus(port_, std::string());
      ReportJobSent(printer_handle_, job_id_);
      return TRUE;
    case Outcome::kCancelled:
      Discard(facts);
      return TRUE;
    case Outcome::kFailed:
    case Outcome::kLost:
      break;
  }
  return Fail(facts, verdict);
}

void PrintJob::Discard(const JobFacts& facts) {
  DeleteFileA(files_.temp_pdf.c_str());
  DeletePath(files_.ps);
  Trace("job %lu cancelled after %lu bytes", static_cast<unsigned long>(job_id_),
        static_cast<unsigned long>(bytes_taken_));
  log_->Failure("%s", job_verdict::CancelLine(job_id_, facts).c_str());
}

BOOL PrintJob::Fail(const JobFacts& facts, const Verdict& verdict) {
  // What a failed program left is no result: the data stays in the copy.
  DeleteFileA(files_.temp_pdf.c_str());
  Trace("job %lu failed: %s; PostScript in %s", static_cast<unsigned long>(job_id_),
        verdict.reason.c_str(), TraceText(files_.ps).c_str());
  log_->Failure("%s", job_verdict::FailureLine(job_id_, verdict, LogTextFromAnsi(command_line_),
                                               job_verdict::KeptText(LogText(files_.ps), facts))
                          .c_str());
  log_->Debug("EndDocPort job %lu, %lu bytes, error %lu", static_cast<unsigned long>(job_id_),
              static_cast<unsigned long>(bytes_taken_), static_cast<unsigned long>(verdict.error));
  ReportJobFailed(printer_handle_, job_id_, "Not converted to PDF: " + verdict.reason);
  const bool lost = verdict.outcome == Outcome::kLost;
  // The data is safe in the copy: the job leaves the queue, so that it
  // does not hold the jobs after it. A job the copy does not hold whole
  // stays there, failed, for the user to print again.
  if (!lost) ReportJobSent(printer_handle_, job_id_);
  if (!config_.print_error && !lost) return TRUE;
  ReportPortStatus(port_, "TAVRIN: \"" + document_ + "\" was not converted: " + verdict.reason);
  SetLastError(verdict.error);
  return FALSE;
}
