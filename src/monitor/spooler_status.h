// What the monitor tells the spooler about its jobs and its port.
#pragma once

#include "common/win32.h"

#include <string>

// Tells the spooler that job `job_id` has left for the printer, so that it
// leaves the queue. Without a printer handle (Wine's spooler names no
// printer) nothing is sent.
void ReportJobSent(HANDLE printer, DWORD job_id);

// Marks job `job_id` as failed: the error flag and `text` as its status,
// for the queue and whoever watches it; the job stays where it is. Without
// a printer handle nothing is sent.
void ReportJobFailed(HANDLE printer, DWORD job_id, const std::string& text);

// Whether job `job_id` is being deleted: the application or the user
// cancelled it. False without a printer handle or when the job cannot be
// read.
bool JobCancelled(HANDLE printer, DWORD job_id);

// The user who printed job `job_id`, as the spooler names the job's owner;
// empty without a printer handle or when the job cannot be read.
std::wstring JobUser(HANDLE printer, DWORD job_id);

// Shows `text` as the port's status, as a warning: the queue shows it,
// and the spooler goes on sending jobs (an error status would hold every
// later job until cleared). An empty text clears the status. Where the
// spooler has no SetPortA (Windows 9x) nothing is sent.
void ReportPortStatus(const std::string& port, const std::string& text);
