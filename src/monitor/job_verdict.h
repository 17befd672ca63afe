// How a finished job went, judged from what was seen of its program and
// its files, and the texts the log gives for it. Plain decisions without
// any system call, so that they can be checked on any machine.
#pragma once

#include <string>

namespace job_verdict {

// The Win32 error codes the decisions use (winerror.h's values).
inline constexpr unsigned long kSuccess = 0;
inline constexpr unsigned long kFileNotFound = 2;
inline constexpr unsigned long kPathNotFound = 3;
inline constexpr unsigned long kAccessDenied = 5;
inline constexpr unsigned long kInvalidData = 13;
inline constexpr unsigned long kGenFailure = 31;
inline constexpr unsigned long kHandleDiskFull = 39;
inline constexpr unsigned long kPrintCancelled = 63;
inline constexpr unsigned long kFileExists = 80;
inline constexpr unsigned long kBrokenPipe = 109;
inline constexpr unsigned long kDiskFull = 112;
inline constexpr unsigned long kAlreadyExists = 183;
inline constexpr unsigned long kNoData = 232;
inline constexpr unsigned long kTimeout = 1460;

// The seconds a program may go without taking data, and may run after the
// end of its input, when the port's "Timeout" is absent or 0.
inline constexpr unsigned long kDefaultTimeoutSeconds = 600;

// The longest "Timeout" honoured (a week); larger values are cut.
inline constexpr unsigned long kMaxTimeoutSeconds = 7 * 24 * 60 * 60;

// The port's "Timeout" as the monitor uses it: 0 means the default.
unsigned long TimeoutSeconds(unsigned long configured);

// "10 minutes", "1 minute", "90 seconds", "1 second": a whole number of
// minutes as minutes, anything else as seconds.
std::string Duration(unsigned long seconds);

// An error code for the log: "disk full (error 112)", "access denied
// (error 5)", ... for the codes a user can act on; "error N" otherwise.
std::string ErrorText(unsigned long code);

// Whether `code` says that a disk has no room left.
bool IsDiskFull(unsigned long code);

// How the program's run ended.
enum class ProgramEnd {
  kNotStarted,  // it could not be started (start_error)
  kExited,      // it ended by itself (exit_code)
  kStalled,     // it took no data for the time allowed and was ended
  kOverran,     // it did not end in the time allowed after its input and was ended
  kUnseen,      // its end cannot be seen (a program that is no Windows one, under Wine)
};

// What was seen of a job when its last byte had come.
struct JobFacts {
  bool cancelled = false;  // the application or the user deleted the job
  ProgramEnd end = ProgramEnd::kExited;
  unsigned long start_error = kSuccess;
  unsigned long exit_code = 0;
  unsigned long timeout_seconds = kDefaultTimeoutSeconds;
  unsigned long pipe_error = kSuccess;  // the first write the program did not take
  unsigned long bytes_to_program = 0;
  unsigned long bytes_taken = 0;  // what the spooler sent
  bool pdf_exists = false;        // the temporary PDF is there (maybe empty)
  unsigned long long pdf_size = 0;  // 4 GiB and more too
  bool pdf_complete = false;  // it ends in "%%EOF"
  std::string report;         // kUnseen: the first line the program wrote
  bool output_disk_full = false;  // the output folder's disk had no room left at the end
  unsigned long copy_error = kSuccess;  // the first write to the .ps that failed
  unsigned long copy_bytes = 0;         // what the .ps holds
};

// What becomes of the job.
enum class Outcome {
  kDone,       // the PDF is the result; the .ps goes
  kFailed,     // no PDF; the .ps holds the whole job
  kLost,       // no PDF and the .ps holds only a part: failed towards the spooler
  kCancelled,  // nothing is kept
};

struct Verdict {
  Outcome outcome = Outcome::kDone;
  unsigned long error = kSuccess;  // the job's error, for the spooler
  std::string reason;              // why it failed, for the log and the queue
};

// Judges a finished job.
Verdict Judge(const JobFacts& facts);

// The end of a failed job's log line: where its PostScript is, "PostScript
// kept in <ps>" or "PostScript copy <ps> incomplete (<kept> of <taken>
// bytes): <error>".
std::string KeptText(const std::string& ps, const JobFacts& facts);

// The log line of a failed job (without the time, port and document the
// log puts before every line).
std::string FailureLine(unsigned long job_id, const Verdict& verdict,
                        const std::string& command_line, const std::string& kept);

// The log line of a cancelled job.
std::string CancelLine(unsigned long job_id, const JobFacts& facts);

// The log line of a job refused at its start because nothing can be
// written in the output `folder`: `error` from creating the folder or the
// job's files; `file_in_place` when a file stands where the folder should.
std::string RefusalLine(unsigned long job_id, const std::string& folder, unsigned long error,
                        bool file_in_place);

// The log line of a job refused at its start because `path`, one of the
// folders or files it was to write, is a link (a junction or a symbolic
// link): the monitor writes nothing where one might lead.
std::string LinkRefusalLine(unsigned long job_id, const std::string& path);

// The last bytes of a file: where they begin, split into the low and
// high 32-bit halves SetFilePointer takes from FILE_BEGIN, and how many
// there are.
struct FileTail {
  unsigned long offset_low = 0;
  unsigned long offset_high = 0;
  unsigned long count = 0;
};

// The last `count` bytes of a file of `size` bytes (all of it when it is
// shorter): a PDF is judged by its end, at any size.
FileTail TailOf(unsigned long long size, unsigned long count);

// Whether a job's status bits (JOB_INFO_1's Status) say that it is being
// or has been deleted: cancelled by the application or the user.
bool IsCancelledStatus(unsigned long status);

}  // namespace job_verdict
