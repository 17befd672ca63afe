// One document the spooler sends through the port, from StartDocPort to
// EndDocPort.
//
// This round the job only counts what it is given and lets it go; the
// conversion (the port's "Command" with its "Arguments", fed the job's data)
// will start in Begin, take the data in Accept and finish in Finish.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

class PrintJob {
 public:
  ~PrintJob();
  PrintJob(const PrintJob&) = delete;
  PrintJob& operator=(const PrintJob&) = delete;

  // Starts the job `job_id` that `printer` sends to `port`. Returns null
  // with the last error set when it cannot start.
  static std::unique_ptr<PrintJob> Begin(const std::wstring& port, const std::wstring& printer,
                                         DWORD job_id, const std::wstring& document);

  // Takes the next `size` bytes of the job; *written receives how many were
  // taken. Returns FALSE with the last error set on failure.
  BOOL Accept(const BYTE* data, DWORD size, DWORD* written);

  // Ends the job and tells the spooler that the document has left for the
  // printer. Returns FALSE with the last error set on failure.
  BOOL Finish();

  DWORD id() const { return job_id_; }
  DWORD bytes_taken() const { return bytes_taken_; }

 private:
  PrintJob(const std::wstring& port, const std::wstring& printer, DWORD job_id,
           const std::wstring& document);

  std::wstring port_;
  std::wstring printer_;
  std::wstring document_;
  DWORD job_id_;
  DWORD bytes_taken_ = 0;
  // The printer, opened to report the job's end; null when it did not open.
  HANDLE printer_handle_ = nullptr;
};
