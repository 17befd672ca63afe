// The port monitor's verdict on a finished job and the log lines it gives.
#include <gtest/gtest.h>

#include "monitor/job_verdict.h"

namespace {

using job_verdict::JobFacts;
using job_verdict::Judge;
using job_verdict::Outcome;
using job_verdict::ProgramEnd;
using job_verdict::Verdict;

// A job that went well: the program took everything, ended with 0 and
// left a complete PDF.
JobFacts GoodJob() {
  JobFacts facts;
  facts.end = ProgramEnd::kExited;
  facts.bytes_taken = 5000;
  facts.bytes_to_program = 5000;
  facts.copy_bytes = 5000;
  facts.pdf_exists = true;
  facts.pdf_size = 1200;
  facts.pdf_complete = true;
  return facts;
}

void ExpectFailed(const JobFacts& facts, unsigned long error, const std::string& reason) {
  const Verdict verdict = Judge(facts);
  EXPECT_EQ(verdict.outcome, Outcome::kFailed) << reason;
  EXPECT_EQ(verdict.error, error) << reason;
  EXPECT_EQ(verdict.reason, reason);
}

TEST(MonitorVerdictTest, CompletePdfAfterExitCodeZeroIsDone) {
  const Verdict verdict = Judge(GoodJob());
  EXPECT_EQ(verdict.outcome, Outcome::kDone);
  EXPECT_EQ(verdict.error, 0u);
  EXPECT_EQ(verdict.reason, "");
  // A disk that is full by the end does not spoil a PDF that is whole.
  JobFacts full = GoodJob();
  full.output_disk_full = true;
  EXPECT_EQ(Judge(full).outcome, Outcome::kDone);
}

TEST(MonitorVerdictTest, WhatThePdfLooksLike) {
  JobFacts facts = GoodJob();
  facts.pdf_exists = false;
  facts.pdf_size = 0;
  facts.pdf_complete = false;
  ExpectFailed(facts, 2, "the program left no output file");
  facts.pdf_exists = true;
  ExpectFailed(facts, 2, "the program left no output file");
  facts.pdf_size = 4096;
  ExpectFailed(facts, 13, "the program left an incomplete PDF of 4096 bytes (no %%EOF at its end)");
}

TEST(MonitorVerdictTest, PdfsOf2GibibytesAndMoreAreJudgedByTheirEnd) {
  // Where the last 63 bytes begin, as SetFilePointer takes it: a 3 GiB
  // file's end lies past what a LONG holds, a 5 GiB file's in the high half.
  EXPECT_EQ(job_verdict::TailOf(3ull << 30, 63).offset_low, 0xBFFFFFC1ul);
  for (unsigned long long size : {0ull, 10ull, 63ull, 0x7FFFFFFFull, 0x80000000ull, 3ull << 30,
                                  0xFFFFFFFFull, 0x100000000ull, 0x100000010ull, 5ull << 30}) {
    const job_verdict::FileTail tail = job_verdict::TailOf(size, 63);
    EXPECT_EQ(tail.count, size < 63 ? size : 63) << size;
    EXPECT_LE(tail.offset_low, 0xFFFFFFFFul) << size;
    EXPECT_EQ((static_cast<unsigned long long>(tail.offset_high) << 32) + tail.offset_low + tail.count,
              size);
  }
  JobFacts facts = GoodJob();
  facts.pdf_size = 5ull << 30;
  facts.pdf_complete = false;
  ExpectFailed(facts, 13, "the program left an incomplete PDF of 5368709120 bytes (no %%EOF at its end)");
}

TEST(MonitorVerdictTest, TheProgramsEndComesBeforeItsPdf) {
  JobFacts facts = GoodJob();
  facts.exit_code = 1;  // Ghostscript may still have closed a PDF
  ExpectFailed(facts, 31, "the program ended with exit code 1");
  // It quit in the middle: the exit code, and how far it read.
  facts.exit_code = 3;
  facts.pipe_error = 109;
  facts.bytes_to_program = 139264;
  facts.bytes_taken = 1993290;
  ExpectFailed(facts, 31, "the program ended with exit code 3 after taking 139264 of 1993290 bytes");
  // It stopped reading but ended well: the broken pipe is the reason, even
  // with a PDF of what it read.
  facts.exit_code = 0;
  ExpectFailed(facts, 109, "the program stopped reading after 139264 of 1993290 bytes (error 109)");
  facts.pipe_error = 232;
  EXPECT_EQ(Judge(facts).error, 232u);
}

TEST(MonitorVerdictTest, TimeBoundsNameTheTimeAllowed) {
  JobFacts facts = GoodJob();
  facts.end = ProgramEnd::kStalled;
  facts.timeout_seconds = 3;
  facts.bytes_to_program = 65536;
  facts.bytes_taken = 1993290;
  facts.pipe_error = 109;
  ExpectFailed(facts, 1460,
               "the program took no data for 3 seconds and was ended, after 65536 of 1993290 bytes");
  facts.end = ProgramEnd::kOverran;
  facts.timeout_seconds = 600;
  ExpectFailed(facts, 1460, "the program did not end within 10 minutes");
}

TEST(MonitorVerdictTest, ProgramThatDidNotStart) {
  JobFacts facts = GoodJob();
  facts.end = ProgramEnd::kNotStarted;
  facts.start_error = 193;
  ExpectFailed(facts, 193, "the program could not be started (error 193)");
  // Without an error of its own (no Command at all) it counts as missing.
  facts.start_error = 0;
  EXPECT_EQ(Judge(facts).error, 2u);
}

TEST(MonitorVerdictTest, UnseenEndIsJudgedByThePdfAndTheReport) {
  JobFacts facts = GoodJob();
  facts.end = ProgramEnd::kUnseen;
  EXPECT_EQ(Judge(facts).outcome, Outcome::kDone);
  facts.report = "Error: /undefined in this_is_no_operator";
  ExpectFailed(facts, 31, "the program reported \"Error: /undefined in this_is_no_operator\"");
  facts.pdf_complete = false;
  ExpectFailed(facts, 1460, "no complete PDF within 10 minutes (the program's end cannot be seen here)");
}

TEST(MonitorVerdictTest, FullDiskIsNamedAndALostCopyFailsTowardsTheSpooler) {
  JobFacts facts = GoodJob();
  facts.bytes_taken = 200000;
  facts.bytes_to_program = 200000;
  facts.exit_code = 1;
  facts.output_disk_full = true;
  Verdict verdict = Judge(facts);
  EXPECT_EQ(verdict.outcome, Outcome::kFailed);
  EXPECT_EQ(verdict.error, 112u);
  EXPECT_EQ(verdict.reason, "the program ended with exit code 1; output folder: disk full (error 112)");
  // The copy holds only a part: neither a PDF nor the job anywhere.
  facts.copy_error = 112;
  facts.copy_bytes = 81920;
  verdict = Judge(facts);
  EXPECT_EQ(verdict.outcome, Outcome::kLost);
  EXPECT_EQ(verdict.error, 112u);
  EXPECT_EQ(job_verdict::KeptText("C:\\out\\Full.ps", facts),
            "PostScript copy C:\\out\\Full.ps incomplete (81920 of 200000 bytes): disk full (error 112)");
  EXPECT_EQ(job_verdict::FailureLine(7, verdict, "\"gs.exe\" -", job_verdict::KeptText("F.ps", facts)),
            "job 7 failed: the program ended with exit code 1; output folder: disk full (error 112); "
            "command line \"gs.exe\" -; PostScript copy F.ps incomplete (81920 of 200000 bytes): disk "
            "full (error 112); the job is failed towards the spooler");
  // A failed copy does not matter when the PDF came whole.
  JobFacts good = GoodJob();
  good.copy_error = 112;
  EXPECT_EQ(Judge(good).outcome, Outcome::kDone);
}

TEST(MonitorVerdictTest, CancelledJobKeepsNothing) {
  JobFacts facts = GoodJob();
  facts.cancelled = true;
  facts.exit_code = 1;
  facts.copy_error = 112;  // nothing is kept anyway
  const Verdict verdict = Judge(facts);
  EXPECT_EQ(verdict.outcome, Outcome::kCancelled);
  EXPECT_EQ(verdict.error, 63u);
  EXPECT_EQ(job_verdict::CancelLine(4, facts), "job 4 cancelled after 5000 bytes: no PDF, nothing kept");
  EXPECT_TRUE(job_verdict::IsCancelledStatus(0x4));    // deleting
  EXPECT_TRUE(job_verdict::IsCancelledStatus(0x114));  // deleted, printing, error
  EXPECT_FALSE(job_verdict::IsCancelledStatus(0x10 | 0x2 | 0x800));  // printing, error, restart
}

TEST(MonitorVerdictTest, LogLinesOfAFailedAndARefusedJob) {
  JobFacts facts = GoodJob();
  facts.exit_code = 3;
  EXPECT_EQ(job_verdict::FailureLine(12, Judge(facts), "\"C:\\faultcmd.exe\" quit",
                                     job_verdict::KeptText("C:\\out\\Broken job.ps", facts)),
            "job 12 failed: the program ended with exit code 3; command line \"C:\\faultcmd.exe\" "
            "quit; PostScript kept in C:\\out\\Broken job.ps");
  EXPECT_EQ(job_verdict::RefusalLine(5, "C:\\tavrin\\output\\", 183, true),
            "job 5 refused: the output folder C:\\tavrin\\output\\ cannot be made: a file stands in "
            "its place (error 183)");
  EXPECT_EQ(job_verdict::RefusalLine(5, "C:\\tavrin\\output\\", 5, false),
            "job 5 refused: no file can be made in C:\\tavrin\\output\\: access denied (error 5)");
  EXPECT_EQ(job_verdict::RefusalLine(5, "D:\\out\\", 21, false),
            "job 5 refused: no file can be made in D:\\out\\: error 21");
  EXPECT_EQ(job_verdict::LinkRefusalLine(5, "C:\\tavrin\\output"),
            "job 5 refused: C:\\tavrin\\output is a link (junction or symbolic link): nothing "
            "is written through it");
}

TEST(MonitorVerdictTest, TimeoutAndItsText) {
  EXPECT_EQ(job_verdict::TimeoutSeconds(0), 600u);
  EXPECT_EQ(job_verdict::TimeoutSeconds(3), 3u);
  EXPECT_EQ(job_verdict::TimeoutSeconds(0xFFFFFFFFul), job_verdict::kMaxTimeoutSeconds);
  // The bound in milliseconds stays inside a DWORD and short of INFINITE.
  EXPECT_LT(job_verdict::kMaxTimeoutSeconds * 1000ull, 0xFFFFFFFFull);
  EXPECT_EQ(job_verdict::Duration(1), "1 second");
  EXPECT_EQ(job_verdict::Duration(90), "90 seconds");
  EXPECT_EQ(job_verdict::Duration(60), "1 minute");
  EXPECT_EQ(job_verdict::Duration(600), "10 minutes");
  EXPECT_EQ(job_verdict::Duration(0), "0 seconds");
  EXPECT_EQ(job_verdict::ErrorText(39), "disk full (error 39)");
  EXPECT_TRUE(job_verdict::IsDiskFull(39));
  EXPECT_TRUE(job_verdict::IsDiskFull(112));
  EXPECT_FALSE(job_verdict::IsDiskFull(5));
}

}  // namespace
