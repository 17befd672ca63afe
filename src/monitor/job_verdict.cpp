// Judging a finished job and the log texts for it.
#include "monitor/job_verdict.h"

namespace job_verdict {

namespace {

inline constexpr unsigned long kJobStatusDeleting = 0x4;   // JOB_STATUS_DELETING
inline constexpr unsigned long kJobStatusDeleted = 0x100;  // JOB_STATUS_DELETED

std::string Number(unsigned long long value) { return std::to_string(value); }

// "X of Y bytes": how much of the job went somewhere.
std::string Share(unsigned long part, unsigned long whole) {
  return Number(part) + " of " + Number(whole) + " bytes";
}

Verdict Failure(unsigned long error, std::string reason) {
  Verdict verdict;
  verdict.outcome = Outcome::kFailed;
  verdict.error = error;
  verdict.reason = std::move(reason);
  return verdict;
}

// Why the program gave no PDF; an empty reason when it gave one.
Verdict ProgramVerdict(const JobFacts& facts) {
  const std::string bound = Duration(facts.timeout_seconds);
  switch (facts.end) {
    case ProgramEnd::kNotStarted:
      return Failure(facts.start_error != kSuccess ? facts.start_error : kFileNotFound,
                     "the program could not be started (error " + Number(facts.start_error) + ")");
    case ProgramEnd::kUnseen:
      if (!facts.pdf_complete)
        return Failure(kTimeout, "no complete PDF within " + bound +
                                     " (the program's end cannot be seen here)");
      if (!facts.report.empty())
        return Failure(kGenFailure, "the program reported \"" + facts.report + "\"");
      return Verdict();
    case ProgramEnd::kStalled:
      return Failure(kTimeout, "the program took no data for " + bound + " and was ended, after " +
                                   Share(facts.bytes_to_program, facts.bytes_taken));
    case ProgramEnd::kOverran:
      return Failure(kTimeout, "the program did not end within " + bound);
    case ProgramEnd::kExited:
      break;
  }
  if (facts.exit_code != 0) {
    std::string reason = "the program ended with exit code " + Number(facts.exit_code);
    if (facts.pipe_error != kSuccess)
      reason += " after taking " + Share(facts.bytes_to_program, facts.bytes_taken);
    return Failure(kGenFailure, reason);
  }
  if (facts.pipe_error != kSuccess)
    return Failure(facts.pipe_error, "the program stopped reading after " +
                                         Share(facts.bytes_to_program, facts.bytes_taken) +
                                         " (error " + Number(facts.pipe_error) + ")");
  // The monitor reserves the output file (empty) before the program runs:
  // an empty file is one the program never wrote.
  if (!facts.pdf_exists || facts.pdf_size == 0)
    return Failure(kFileNotFound, "the program left no output file");
  if (!facts.pdf_complete)
    return Failure(kInvalidData, "the program left an incomplete PDF of " +
                                     Number(facts.pdf_size) + " bytes (no %%EOF at its end)");
  return Verdict();
}

}  // namespace

unsigned long TimeoutSeconds(unsigned long configured) {
  if (configured == 0) return kDefaultTimeoutSeconds;
  return configured < kMaxTimeoutSeconds ? configured : kMaxTimeoutSeconds;
}

std::string Duration(unsigned long seconds) {
  if (seconds != 0 && seconds % 60 == 0) {
    const unsigned long minutes = seconds / 60;
    return Number(minutes) + (minutes == 1 ? " minute" : " minutes");
  }
  return Number(seconds) + (seconds == 1 ? " second" : " seconds");
}

bool IsDiskFull(unsigned long code) { return code == kDiskFull || code == kHandleDiskFull; }

std::string ErrorText(unsigned long code) {
  const char* what = nullptr;
  switch (code) {
    case kFileNotFound: what = "file not found"; break;
    case kPathNotFound: what = "path not found"; break;
    case kAccessDenied: what = "access denied"; break;
    case kHandleDiskFull:
    case kDiskFull: what = "disk full"; break;
    case kFileExists:
    case kAlreadyExists: what = "a file of that name exists"; break;
    default: break;
  }
  const std::string number = "error " + Number(code);
  return what ? std::string(what) + " (" + number + ")" : number;
}

Verdict Judge(const JobFacts& facts) {
  if (facts.cancelled) {
    Verdict verdict;
    verdict.outcome = Outcome::kCancelled;
    verdict.error = kPrintCancelled;
    verdict.reason = "cancelled";
    return verdict;
  }
  Verdict verdict = ProgramVerdict(facts);
  if (verdict.outcome == Outcome::kDone) return verdict;
  if (facts.output_disk_full) {
    verdict.reason += "; output folder: " + ErrorText(kDiskFull);
    verdict.error = kDiskFull;
  }
  // Neither a PDF nor the whole job anywhere: the spooler must hear of it.
  if (facts.copy_error != kSuccess) {
    verdict.outcome = Outcome::kLost;
    verdict.error = facts.copy_error;
  }
  return verdict;
}

std::string KeptText(const std::string& ps, const JobFacts& facts) {
  if (facts.copy_error == kSuccess) return "PostScript kept in " + ps;
  return "PostScript copy " + ps + " incomplete (" + Share(facts.copy_bytes, facts.bytes_taken) +
         "): " + ErrorText(facts.copy_error);
}

std::string FailureLine(unsigned long job_id, const Verdict& verdict,
                        const std::string& command_line, const std::string& kept) {
  std::string line = "job " + Number(job_id) + " failed: " + verdict.reason + "; command line " +
                     command_line + "; " + kept;
  if (verdict.outcome == Outcome::kLost) line += "; the job is failed towards the spooler";
  return line;
}

std::string CancelLine(unsigned long job_id, const JobFacts& facts) {
  return "job " + Number(job_id) + " cancelled after " + Number(facts.bytes_taken) +
         " bytes: no PDF, nothing kept";
}

std::string RefusalLine(unsigned long job_id, const std::string& folder, unsigned long error,
                        bool file_in_place) {
  const std::string head = "job " + Number(job_id) + " refused: ";
  if (file_in_place)
    return head + "the output folder " + folder + " cannot be made: a file stands in its place (error " +
           Number(error) + ")";
  return head + "no file can be made in " + folder + ": " + ErrorText(error);
}

std::string LinkRefusalLine(unsigned long job_id, const std::string& path) {
  return "job " + Number(job_id) + " refused: " + path +
         " is a link (junction or symbolic link): nothing is written through it";
}

FileTail TailOf(unsigned long long size, unsigned long count) {
  FileTail tail;
  tail.count = size < count ? static_cast<unsigned long>(size) : count;
  const unsigned long long offset = size - tail.count;
  tail.offset_low = static_cast<unsigned long>(offset & 0xFFFFFFFFull);
  tail.offset_high = static_cast<unsigned long>(offset >> 32);
  return tail;
}

bool IsCancelledStatus(unsigned long status) {
  return (status & (kJobStatusDeleting | kJobStatusDeleted)) != 0;
}

}  // namespace job_verdict
