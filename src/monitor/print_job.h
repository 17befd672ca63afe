// One document the spooler sends through the port, from StartDocPort to
// EndDocPort: the job's data goes to the port's program (see converter.h)
// and to "<document>.ps", under the document's own name. When the job has
// succeeded the program's PDF is renamed to "<document>.pdf" and the .ps
// deleted; otherwise the .ps is kept and the temporary file deleted, so
// that a failed conversion loses nothing. What a job ends as is decided
// by job_verdict::Judge.
#pragma once

#include "common/win32.h"

#include <memory>
#include <string>

#include "monitor/config_registry.h"
#include "monitor/converter.h"
#include "monitor/job_files.h"
#include "monitor/job_log.h"
#include "monitor/port_config.h"

class PrintJob {
 public:
  ~PrintJob();
  PrintJob(const PrintJob&) = delete;
  PrintJob& operator=(const PrintJob&) = delete;

  // Starts the job `job_id` that `printer` sends to `port`, with the port's
  // configuration from `registry`. A program that does not start does not
  // stop the job (its data is kept); returns null with the last error set
  // only when not even the job's files can be made.
  static std::unique_ptr<PrintJob> Begin(ConfigRegistry& registry, const std::wstring& port,
                                         const std::wstring& printer, DWORD job_id,
                                         const std::wstring& document);

  // Takes the next `size` bytes of the job; *written receives how many were
  // taken. Fails (last error set) only when the data went nowhere: neither
  // to the program nor to the copy.
  BOOL Accept(const BYTE* data, DWORD size, DWORD* written);

  // Ends the job: the program reads the end of its input and is waited
  // for, the PDF checked, the copy deleted or kept, the spooler told that
  // the document has left. Returns FALSE with the last error set when the
  // job failed and the port's "PrintError" asks for failures to be
  // reported, or when not even the .ps holds the whole job; TRUE
  // otherwise (a cancelled job too).
  BOOL Finish();

  DWORD id() const { return job_id_; }
  DWORD bytes_taken() const { return bytes_taken_; }

 private:
  PrintJob(const std::wstring& port, const std::wstring& printer, DWORD job_id,
           const std::wstring& document);

  void ClosePsFile();
  // A job refused at its start because `link`, a folder or file it was to
  // write, is a link: the trace, the log (unless it lies behind a link
  // too) and the job's status in the queue say so.
  void RefuseLink(const std::wstring& link);
  // The finished PDF gets the document's name; the .ps goes. Where the
  // rename fails the PDF stays under its temporary name and the log says
  // so with both names.
  void KeepPdf();
  // A failed job: the temporary file goes, the .ps stays, the log and
  // the spooler hear why. Returns what Finish returns.
  BOOL Fail(const job_verdict::JobFacts& facts, const job_verdict::Verdict& verdict);
  // A cancelled job: nothing of it stays.
  void Discard(const job_verdict::JobFacts& facts);

  std::string port_;
  std::string printer_;
  std::string document_;      // in the ANSI code page, for the spooler and the trace
  std::string document_log_;  // in UTF-8, for the log
  DWORD job_id_;
  DWORD bytes_taken_ = 0;
  // The printer, opened to report the job's end; null when it did not open.
  HANDLE printer_handle_ = nullptr;

  PortConfig config_;
  std::string folder_;
  JobFiles files_;
  std::unique_ptr<JobLog> log_;
  std::string command_line_;
  std::unique_ptr<Converter> converter_;
  DWORD copy_error_ = ERROR_SUCCESS;  // first failed write to the copy
  bool finished_ = false;
};
