// One document the spooler sends through the port, from StartDocPort to
// EndDocPort: the port's "Command" is started with its "Arguments" ("%1"
// a temporary PDF name of plain ASCII in the output folder) and fed the
// job's data on its standard input as the data comes. The same data goes
// to "<document>.ps", under the document's own name. When the job has
// succeeded the PDF is renamed to "<document>.pdf" and the .ps deleted;
// otherwise the .ps is kept and the temporary file deleted, so that a
// failed conversion loses nothing.
//
// A "Command" that is not a Windows program can only be run where the
// system runs such files (Wine, as a Unix program), and there it cannot
// read a pipe: it is started at the job's end instead, reading the .ps.
// Its end and exit code cannot be seen there either: the job is done when
// a complete PDF has stopped growing, and has failed when the program wrote
// anything to its standard output (Ghostscript reports its errors there
// and still closes the PDF).
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "monitor/child_process.h"
#include "monitor/config_registry.h"
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
  // reported; TRUE otherwise.
  BOOL Finish();

  DWORD id() const { return job_id_; }
  DWORD bytes_taken() const { return bytes_taken_; }

 private:
  PrintJob(const std::wstring& port, const std::wstring& printer, DWORD job_id,
           const std::wstring& document);

  // Starts the port's program on the temporary PDF file, reading the pipe
  // or, with `input_file`, that file; a failure is kept in start_error_.
  void StartProgram(const std::wstring& input_file);
  // Waits for the program and judges the outcome: ERROR_SUCCESS when the
  // PDF is there and not empty, else the error with *reason saying why.
  DWORD Outcome(std::string* reason);
  // Waits up to the port's "Delay" for the PDF to be there and not empty.
  // Returns its size, 0 when it is missing or empty.
  DWORD AwaitOutput() const;
  // Where the program's end cannot be seen: waits at most `timeout_ms` for
  // a complete PDF (ending in "%%EOF") that has not grown for the port's
  // "Delay". Returns its size, 0 when none came.
  DWORD AwaitCompletePdf(DWORD timeout_ms) const;
  void ClosePsFile();
  // Deferred: what the program wrote to its output (at most a line's worth),
  // appended whole to the log when there is one; the file is deleted.
  std::string TakeReport();
  // The finished PDF gets the document's name; the .ps goes. Where the
  // rename fails the PDF stays under its temporary name and the log says
  // so with both names.
  void KeepPdf();

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
  std::unique_ptr<ChildProcess> program_;
  bool deferred_ = false;  // the program starts at the end, reading the .ps
  std::string report_;     // deferred: the file the program's output goes to
  DWORD start_error_ = ERROR_SUCCESS;  // why the program did not start
  DWORD pipe_error_ = ERROR_SUCCESS;   // first failed write to the program
  DWORD copy_error_ = ERROR_SUCCESS;   // first failed write to the copy
  DWORD bytes_to_program_ = 0;
  bool finished_ = false;
};
