// The print job of a port.
#include "monitor/print_job.h"

#include <winspool.h>

#include "monitor/monitor_text.h"
#include "monitor/trace.h"

PrintJob::PrintJob(const std::wstring& port, const std::wstring& printer, DWORD job_id,
                   const std::wstring& document)
    : port_(port), printer_(printer), document_(document), job_id_(job_id) {}

PrintJob::~PrintJob() {
  if (printer_handle_) ClosePrinter(printer_handle_);
}

std::unique_ptr<PrintJob> PrintJob::Begin(const std::wstring& port, const std::wstring& printer,
                                          DWORD job_id, const std::wstring& document) {
  std::unique_ptr<PrintJob> job(new PrintJob(port, printer, job_id, document));
  // The ANSI call exists on both families. Without the printer (Wine's
  // spooler names none) the job still runs; only its end cannot be reported.
  std::string printer_name = Narrow(printer);
  if (!printer_name.empty() && !OpenPrinterA(&printer_name[0], &job->printer_handle_, nullptr)) {
    Trace("OpenPrinter %s failed: %lu", printer_name.c_str(), GetLastError());
    job->printer_handle_ = nullptr;
  }
  Trace("StartDocPort %s, job %lu, printer %s, document %s", Narrow(port).c_str(), job_id,
        printer_name.empty() ? "(none)" : printer_name.c_str(), Narrow(document).c_str());
  return job;
}

BOOL PrintJob::Accept(const BYTE* data, DWORD size, DWORD* written) {
  (void)data;
  bytes_taken_ += size;
  *written = size;
  Trace("WritePort %s, job %lu, %lu bytes", Narrow(port_).c_str(), job_id_, size);
  return TRUE;
}

BOOL PrintJob::Finish() {
  Trace("EndDocPort %s, job %lu, %lu bytes in all", Narrow(port_).c_str(), job_id_, bytes_taken_);
  if (printer_handle_ &&
      !SetJobA(printer_handle_, job_id_, 0, nullptr, JOB_CONTROL_SENT_TO_PRINTER))
    Trace("SetJob %lu failed: %lu", job_id_, GetLastError());
  return TRUE;
}
